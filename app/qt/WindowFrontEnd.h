#pragma once
// Runs the program with its Qt window.
#include "app/Mainunit.h"

int runWindow(int& argc, char** argv, StartContext context);
