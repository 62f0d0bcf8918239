// tests/lan/LanRun.h: runs a command on the PC side of the test LAN, with routersim staging devices on
// the router side, and finds what a run may have left behind.
#pragma once

#include "tests/lan/Subprocess.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <string_view>
#include <vector>

constexpr int kNoLan = 77; // the harness could not make namespaces here
constexpr int kHarnessFailed = 125;

struct Lan {
    std::vector<std::string> routerAddrs;
    std::vector<std::string> noEcho;
    std::vector<std::string> devices;               // routersim --device specs; none: no router command
    std::vector<std::string> routersimOptions = {}; // more arguments of routersim, after the devices
};

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
    std::string marker; // in the environment of everything the run started
};

std::string routersimPath();
std::string lanProbePath();
std::string harnessPath();

std::vector<std::string> harnessCommand(const Lan& lan, const std::vector<std::string>& pcCommand);
RunResult runOnLan(const Lan& lan, const std::vector<std::string>& pcCommand,
                   std::chrono::seconds timeout = std::chrono::seconds(30));

// A new "TESTLAN_RUN=..." for the environment of one harness run. Every process of the run inherits it, and
// so can be found afterwards however it was reparented. A namespace's inode is no such mark: it is handed
// out again once the namespace is gone, under ctest -j2 often at once to another run.
std::string newRunMarker();
// What a run left behind, one line each: a process the harness reported on stderr (namespace holders,
// router) or any process carrying marker that still runs, and a veth end in the launcher's namespace.
// Every process that could hold one of the run's namespaces carries the marker.
std::vector<std::string> leftoversOf(const std::string& harnessErr, const std::string& marker);
// The same after waiting up to timeout for them to go.
std::vector<std::string> leftoversAfter(const std::string& harnessErr, const std::string& marker,
                                        std::chrono::milliseconds timeout);
std::size_t countLines(const std::string& text, std::string_view prefix);

// The text quoted for a POSIX shell.
std::string shellQuote(const std::string& text);
// Bytes that differ from seed to seed and from block to block.
std::string fileBytes(std::size_t size, std::uint32_t seed);
std::string contentOf(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// A folder of its own for each case, with a "store" folder for routersim, open to every user (routersim
// may run as another user than the test); removed with everything in it at the end.
class LanWorkspace {
public:
    explicit LanWorkspace(const std::string& prefix);
    LanWorkspace(const LanWorkspace&) = delete;
    LanWorkspace& operator=(const LanWorkspace&) = delete;
    ~LanWorkspace();
    std::filesystem::path root() const { return m_root; }
    std::filesystem::path store() const { return m_root / "store"; }

private:
    std::filesystem::path m_root;
};

inline bool onCi()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) == "true";
}

// Where the test LAN cannot be made, a case is skipped, except on CI, where that is a failure.
#define SKIP_WITHOUT_LAN(status, text)                                                                       \
    do {                                                                                                     \
        if ((status) == kNoLan) {                                                                            \
            if (onCi()) FAIL() << "the test LAN cannot be made here, and CI=true: " << (text);               \
            GTEST_SKIP() << "the test LAN cannot be made here: " << (text);                                  \
        }                                                                                                    \
    } while (false)
