#pragma once
// fwbundle's commands, kept apart from main so tests run them in-process.
#include <ostream>
#include <string>
#include <vector>

// pack -o OUT PROGRAM [--manifest MANIFEST] FILE:ATTR... ; list FILE.
// args without the program name; returns the exit status: 0, 1 for I/O failures, 2 for bad usage or manifest.
int runBundleTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
