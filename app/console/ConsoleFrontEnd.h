#pragma once
// Runs the program on the console: no window, no display, ends when it would wait for a person.
#include "app/Entry.h"

int runConsole(int& argc, char** argv, const NetworkParts& network, StartContext context);
