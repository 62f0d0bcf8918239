#pragma once
// Runs the program with its Qt window.
#include "app/Entry.h"

int runWindow(int& argc, char** argv, const NetworkParts& network, StartContext context);
