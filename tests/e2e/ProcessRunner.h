#pragma once
// Runs a built program in a network namespace of its own and collects what it printed and how it
// ended, with a time limit so no test hangs.
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

struct Outcome {
    int status = -1; // the exit status, or 128 + N after signal N
    std::string out;
    std::string err;
    bool timedOut = false;
};

struct RunSpec {
    std::vector<std::string> argv;           // the program and its arguments
    std::map<std::string, std::string> env;  // the whole environment
    std::chrono::milliseconds limit{60'000}; // killed after this
    // Called every few milliseconds while the program runs, with its process id.
    std::function<void(pid_t)> whileRunning;
};

// Runs the command through scripts/isolated.sh. Status 77 means no namespace could be made here.
Outcome runIsolated(const RunSpec& run);
// Runs the command as it stands; for the test LAN harness, which makes its own namespaces.
Outcome runCommand(const RunSpec& run);

// Packs a shipped program from fwupgrade and a manifest with the built fwbundle, in a namespace of its own.
Outcome packShipped(const std::string& output, const std::string& manifest);

// The built programs and the source tree.
std::string binary(const std::string& name);
std::string sourcePath(const std::string& relative);

// Skips the calling test where namespaces cannot be made, except under CI=true, where it fails.
#define SKIP_UNLESS_ISOLATED(outcome)                                                                        \
    do {                                                                                                     \
        if ((outcome).status == 77) {                                                                        \
            if (const char* ci = std::getenv("CI"); ci && std::string{ci} == "true")                         \
                FAIL() << "no network namespace could be made: " << (outcome).err;                           \
            GTEST_SKIP() << "no network namespace could be made here: " << (outcome).err;                    \
        }                                                                                                    \
    } while (false)

} // namespace e2e
