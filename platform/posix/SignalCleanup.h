#pragma once
// Ending by SIGINT, SIGTERM or SIGHUP still removes the temporary directory.
#include <string>

namespace fw {

// Blocks the three signals in the calling thread, and so in every thread created after it: call it
// first thing in main. One thread then waits for them; on one it removes dir and ends the process
// with 128 + the signal number.
void startSignalCleanup(std::string dir);

} // namespace fw
