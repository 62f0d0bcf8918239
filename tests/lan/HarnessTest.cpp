// tests/lan/HarnessTest.cpp: the test LAN itself: its network, its teardown on every way out, and its
// refusal to run the PC command anywhere but in the PC namespace.
#include "tests/lan/LanRun.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

bool inPath(const std::string& program)
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

const std::string kDevice = "addr=192.168.0.1,module=XY,detail=1.0,answers=normal";

TEST(TestLan, NoEchoSilencesPingToItsAddressOnly)
{
    if (!inPath("ping")) {
        if (onCi()) FAIL() << "ping is missing (iputils-ping, scripts/deps.sh), and CI=true";
        GTEST_SKIP() << "ping is missing (iputils-ping, scripts/deps.sh)";
    }
    // The device at 192.168.0.1 answers no probe: the kernel still answers ping for its address.
    const RunResult run = runOnLan(
        {{"192.168.0.1", "192.168.2.1"}, {"192.168.2.1"}, {"addr=192.168.0.1,module=XY,answers=none"}},
        {"bash", "-c",
         "ping -c1 -W1 192.168.0.1 >/dev/null; echo first=$?;"
         "ping -c1 -W1 192.168.2.1 >/dev/null; echo second=$?"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("first=0\n"), std::string::npos) << run.out << run.err;
    EXPECT_NE(run.out.find("second=1\n"), std::string::npos) << run.out << run.err;
}

// The delayer is built beside routersim.
std::string delayerPath()
{
    return (std::filesystem::path(routersimPath()).parent_path() / "nfdelay").string();
}

TEST(TestLan, DelayMsHoldsEveryPacketOnTheVethInBothDirections)
{
    if (!inPath("ping") || !inPath("iptables")) {
        if (onCi()) FAIL() << "ping or iptables is missing (scripts/deps.sh), and CI=true";
        GTEST_SKIP() << "ping or iptables is missing (scripts/deps.sh)";
    }
    ASSERT_TRUE(std::filesystem::exists(delayerPath())) << delayerPath() << " is not built (target nfdelay)";
    constexpr int kDelayMs = 25;
    const std::string marker = newRunMarker();
    std::vector<std::string> argv = harnessCommand({{"192.168.0.1"}, {}, {kDevice}},
                                                   {"ping", "-c", "5", "-i", "0.2", "-q", "192.168.0.1"});
    argv.insert(argv.begin() + 2, {"--delay-ms", std::to_string(kDelayMs), "--delayer", delayerPath()});
    Subprocess harness{argv, {marker}};
    const int status = harness.finish(30s);
    SKIP_WITHOUT_LAN(status, harness.err());
    ASSERT_EQ(status, 0) << harness.out() << harness.err();
    std::smatch rtt;
    const std::string out = harness.out();
    ASSERT_TRUE(std::regex_search(out, rtt, std::regex(R"(rtt min/avg/max/mdev = ([0-9.]+)/)"))) << out;
    // Held on the way in and again on the way out, each echo is at least 2 x 25 ms late; a delay of one
    // direction only would give about 25 ms.
    EXPECT_GE(std::stod(rtt[1]), 1.5 * kDelayMs) << out;
    EXPECT_NE(harness.err().find("every packet on rt0 is held 25 ms each way"), std::string::npos)
        << harness.err();
    EXPECT_NE(harness.err().find("router exited with status 0"), std::string::npos) << harness.err();
    EXPECT_NE(harness.err().find("delayer exited with status 0"), std::string::npos) << harness.err();
    EXPECT_EQ(joined(leftoversOf(harness.err(), marker)), "") << harness.err();
}

TEST(TestLan, PcSideHasOneAddressAndTheDefaultRouteOnly)
{
    const RunResult run = runOnLan({{"192.168.0.1"}, {}, {}}, {"bash", "-c", "ip -4 -o addr; ip -4 route"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("pc0    inet 10.77.0.2/24"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("default via 10.77.0.1 dev pc0"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("192.168."), std::string::npos) << "the router's addresses leaked to the PC side\n"
                                                           << run.out;
}

TEST(TestLan, PassesStdinThroughToThePcCommand)
{
    const std::filesystem::path input =
        std::filesystem::temp_directory_path() / ("lan_stdin_" + std::to_string(getpid()));
    std::ofstream(input) << "typed by the user\n";
    // The harness runs the PC command in the background, where a shell would give it /dev/null.
    Subprocess harness{{"bash", "-c", "exec bash \"$0\" -- cat < \"$1\"", harnessPath(), input.string()}};
    const int status = harness.finish(30s);
    std::filesystem::remove(input);
    SKIP_WITHOUT_LAN(status, harness.err());
    ASSERT_EQ(status, 0) << harness.err();
    EXPECT_EQ(harness.out(), "typed by the user\n") << harness.err();
}

struct EndCase {
    const char* label;
    Lan lan;
    std::vector<std::string> pcCommand;
    int wantStatus;
    std::string wantInErr;
};
void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << c.label;
}

class TearDownWhen : public testing::TestWithParam<EndCase> {};

TEST_P(TearDownWhen, LeavesNoProcessNamespaceOrVethBehind)
{
    const EndCase& c = GetParam();
    const RunResult run = runOnLan(c.lan, c.pcCommand);
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, c.wantStatus) << run.err;
    EXPECT_NE(run.err.find(c.wantInErr), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("held by pid"), std::string::npos) << run.err;
    EXPECT_EQ(joined(leftoversOf(run.err, run.marker)), "") << run.err;
}

INSTANTIATE_TEST_SUITE_P(Harness, TearDownWhen,
                         testing::Values(EndCase{"TheCommandSucceeds",
                                                 {{"192.168.0.1"}, {}, {kDevice}},
                                                 {"true"},
                                                 0,
                                                 "router exited with status 0"},
                                         EndCase{"TheCommandFails",
                                                 {{"192.168.0.1"}, {}, {kDevice}},
                                                 {"sh", "-c", "exit 3"},
                                                 3,
                                                 "router exited with status 0"},
                                         EndCase{"TheCommandIsMissing",
                                                 {{"192.168.0.1"}, {}, {kDevice}},
                                                 {"/nonexistent/lan-command"},
                                                 127,
                                                 "router exited with status 0"},
                                         EndCase{"TheCommandLeavesAChildBehind",
                                                 {{"192.168.0.1"}, {}, {kDevice}},
                                                 {"bash", "-c", "sleep 60 >/dev/null 2>&1 & exit 0"},
                                                 0,
                                                 "router exited with status 0"},
                                         EndCase{"TheRouterEndsBeforeItIsReady",
                                                 {{"192.168.0.1"}, {}, {"addr=192.168.0.1"}},
                                                 {"true"},
                                                 kHarnessFailed,
                                                 "ended with status 2 before it was ready"},
                                         EndCase{"TheRouterLacksItsAddress",
                                                 {{}, {}, {kDevice}},
                                                 {"true"},
                                                 kHarnessFailed,
                                                 "192.168.0.1 is not an address of this host"}),
                         [](const auto& info) { return std::string(info.param.label); });

struct SignalCase {
    const char* label;
    int signal;
    bool routerStopsCleanly; // after SIGKILL the harness cannot say; the watchdog clears the namespaces
};
void PrintTo(const SignalCase& c, std::ostream* os)
{
    *os << c.label;
}

class HarnessEndedBy : public testing::TestWithParam<SignalCase> {};

TEST_P(HarnessEndedBy, StopsEverythingItStarted)
{
    const SignalCase& c = GetParam();
    const std::string marker = newRunMarker();
    Subprocess harness{harnessCommand({{"192.168.0.1"}, {}, {kDevice, "addr=192.168.0.1,module=ZW"}},
                                      {"bash", "-c", "sleep 60 & echo started; sleep 61"}),
                       {marker}};
    ASSERT_TRUE(harness.started());
    if (!harness.waitForOutput("started", 20s)) {
        const int status = harness.finish(5s);
        SKIP_WITHOUT_LAN(status, harness.err());
        FAIL() << "the PC command did not start\n" << harness.err();
    }
    harness.sendSignal(c.signal);
    const int status = harness.finish(15s);
    EXPECT_EQ(status, 128 + c.signal) << harness.err();
    if (c.routerStopsCleanly) {
        EXPECT_NE(harness.err().find("router exited with status 0"), std::string::npos) << harness.err();
    }
    EXPECT_EQ(joined(leftoversAfter(harness.err(), marker, 3s)), "") << harness.err();
}

INSTANTIATE_TEST_SUITE_P(Harness, HarnessEndedBy,
                         testing::Values(SignalCase{"Sigterm", SIGTERM, true},
                                         SignalCase{"Sigint", SIGINT, true},
                                         SignalCase{"Sighup", SIGHUP, true},
                                         SignalCase{"Sigkill", SIGKILL, false}),
                         [](const auto& info) { return std::string(info.param.label); });

// The harness checks from inside, just before it starts the PC command, where that command would run. The
// check is driven here from the wrong places; the command would only leave a file behind.
struct PlaceCase {
    const char* label;
    std::vector<std::string> wrapper; // runs the check
    std::string wantInErr;
};
void PrintTo(const PlaceCase& c, std::ostream* os)
{
    *os << c.label;
}

class RefusesToRun : public testing::TestWithParam<PlaceCase> {};

TEST_P(RefusesToRun, AnywhereButInThePcNamespace)
{
    if (Subprocess probe{{"unshare", "--net", "true"}}; probe.finish(10s) != 0) {
        if (onCi()) FAIL() << "unshare --net fails here, and CI=true";
        GTEST_SKIP() << "unshare --net fails here";
    }
    const PlaceCase& c = GetParam();
    char link[64] = {};
    ASSERT_GT(readlink("/proc/self/ns/net", link, sizeof link - 1), 0);
    const std::filesystem::path marker =
        std::filesystem::temp_directory_path() / ("lan_refused_" + std::to_string(getpid()));
    std::filesystem::remove(marker);
    std::vector<std::string> argv = c.wrapper;
    argv.insert(argv.end(), {harnessPath(), "--pc-guard", link, "pc0", "--", "touch", marker.string()});
    Subprocess guard{argv};
    EXPECT_EQ(guard.finish(10s), kHarnessFailed) << guard.err();
    EXPECT_NE(guard.err().find(c.wantInErr), std::string::npos) << guard.err();
    EXPECT_FALSE(std::filesystem::exists(marker)) << "the command ran";
    std::filesystem::remove(marker);
}

INSTANTIATE_TEST_SUITE_P(
    Harness, RefusesToRun,
    testing::Values(
        PlaceCase{"InTheLaunchersNamespace", {"bash"}, "refused: the PC command would run in the launcher's"},
        PlaceCase{"InANamespaceWithoutTheVeth", {"unshare", "--net", "bash"}, "it holds: lo"},
        PlaceCase{"InANamespaceWithAnotherDevice",
                  {"unshare", "--net", "bash", "-c",
                   "ip link add pc0 type veth peer name extra0 && exec bash \"$@\"", "bash"},
                  "it holds: extra0 lo pc0"}),
    [](const auto& info) { return std::string(info.param.label); });

struct UsageCase {
    const char* label;
    std::vector<std::string> args;
    std::string wantInErr;
};
void PrintTo(const UsageCase& c, std::ostream* os)
{
    *os << c.label;
}

class HarnessCommandLine : public testing::TestWithParam<UsageCase> {};

TEST_P(HarnessCommandLine, IsRejectedWithStatus2)
{
    std::vector<std::string> argv{"bash", harnessPath()};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    Subprocess harness{argv};
    EXPECT_EQ(harness.finish(10s), 2) << harness.err();
    EXPECT_NE(harness.err().find(GetParam().wantInErr), std::string::npos) << harness.err();
    EXPECT_EQ(harness.err().find("held by pid"), std::string::npos) << "it made namespaces\n"
                                                                    << harness.err();
}

INSTANTIATE_TEST_SUITE_P(
    Harness, HarnessCommandLine,
    testing::Values(
        UsageCase{"WithoutAPcCommand", {"--router-addr", "192.168.0.1"}, "no PC command"},
        UsageCase{"WithAnUnknownOption", {"--routers", "x", "--", "true"}, "unknown argument '--routers'"},
        UsageCase{"WithABadAddress", {"--router-addr", "192.168.0.256", "--", "true"}, "not an IPv4"},
        UsageCase{"WithTheLanOwnSubnet", {"--router-addr", "10.77.0.2", "--", "true"}, "cannot be given"},
        UsageCase{"WithNoEchoForAnAddressNotGiven",
                  {"--router-addr", "192.168.0.1", "--no-echo", "192.168.2.1", "--", "true"},
                  "not one of the --router-addr"},
        UsageCase{"WithAMissingValue", {"--router"}, "--router needs a value"},
        UsageCase{"WithADelayBeyondAMinute",
                  {"--delay-ms", "60001", "--delayer", "/bin/true", "--", "true"},
                  "from 0 to 60000"},
        UsageCase{"WithADelayerThatIsNoProgram",
                  {"--delay-ms", "1", "--delayer", "/nonexistent/nfdelay", "--", "true"},
                  "is not an executable file"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(TestLan, HelpShowsTheCommandLine)
{
    Subprocess harness{{"bash", harnessPath(), "--help"}};
    EXPECT_EQ(harness.finish(10s), 0) << harness.err();
    EXPECT_NE(harness.out().find("-- PC-COMMAND [ARGS...]"), std::string::npos) << harness.out();
    EXPECT_NE(harness.out().find("--router-addr ADDR"), std::string::npos) << harness.out();
    EXPECT_EQ(harness.out().find("set -u"), std::string::npos) << "help runs past the header\n"
                                                               << harness.out();
}

} // namespace
