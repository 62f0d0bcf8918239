#pragma once
// Exit statuses of the program, the same for the window and the console.
inline constexpr int kExitSucceeded = 0;   // the last run succeeded
inline constexpr int kExitFailed = 1;      // a run failed or was refused
inline constexpr int kExitCannotStart = 2; // bundle or settings unreadable, a bad option
inline constexpr int kExitNeedsPerson = 3; // no run was started and a person is needed
