#pragma once
// Which front end runs: the console, or the Qt window.
#include <functional>
#include <string>

// getenv returns nullptr for an unset variable. The console runs when FWUPGRADE_CONSOLE is 1, or
// when it is unset and no display is named; FWUPGRADE_CONSOLE=0 forces the window.
bool useConsole(const std::function<const char*(const char*)>& getenv);
