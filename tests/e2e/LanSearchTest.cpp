// The device search with the real sockets on the test LAN, against the simulated router.
#include "tests/e2e/ProcessRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace e2e {
namespace {

using ::testing::HasSubstr;

struct LanCase {
    const char* label;
    std::vector<std::string> addresses; // the router side's addresses
    std::vector<std::string> silent;    // addresses that do not answer echo
    std::vector<std::string> devices;   // routersim --device specs; none: no routersim
    std::vector<std::string> search;    // fwsearch arguments
    std::vector<std::string> want;      // lines fwsearch prints, in order
    friend void PrintTo(const LanCase& c, std::ostream* os) { *os << c.label; }
};

class LanSearch : public ::testing::TestWithParam<LanCase> {};

TEST_P(LanSearch, FindsWhatTheRouterSideStages)
{
    const LanCase& c = GetParam();
    RunSpec run;
    run.argv = {sourcePath("tests/lan/testlan.sh")};
    for (const auto& a : c.addresses) run.argv.insert(run.argv.end(), {"--router-addr", a});
    for (const auto& a : c.silent) run.argv.insert(run.argv.end(), {"--no-echo", a});
    if (!c.devices.empty()) {
        std::string router = binary("routersim");
        for (const auto& d : c.devices) router += " --device " + d;
        run.argv.insert(run.argv.end(), {"--router", router});
    }
    run.argv.push_back("--");
    run.argv.push_back(binary("fwsearch"));
    run.argv.insert(run.argv.end(), c.search.begin(), c.search.end());
    run.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"LANG", "C.UTF-8"}};
    if (const char* ci = std::getenv("CI")) run.env["CI"] = ci;
    const Outcome o = runCommand(run);
    SKIP_UNLESS_ISOLATED(o);
    ASSERT_EQ(o.status, 0) << o.err;
    std::vector<std::string> lines;
    std::istringstream in{o.out};
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines, c.want) << o.err;
}

INSTANTIATE_TEST_SUITE_P(
    Devices, LanSearch,
    ::testing::Values(LanCase{"ANormalDevice",
                              {"192.168.0.1"},
                              {},
                              {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal"},
                              {"--detailed"},
                              {"row 1 192.168.0.1 [XY] [1.0]", "line 192.168.0.1  XY - 1.0   normal",
                               "status 1 device found", "text 192.168.0.1  XY - 1.0   normal"}},
                      LanCase{"ACrashedDevice",
                              {"192.168.1.1"},
                              {},
                              {"addr=192.168.1.1,module=VN100,answers=crash"},
                              {},
                              {"row 0 192.168.1.1 [$BriselVN100] [unknown]", "line 192.168.1.1   crash",
                               "status 1 device found", "text 192.168.1.1   crash"}},
                      LanCase{"ADeviceAnsweringTheNormalAndTheBootRequestProbe",
                              {"192.168.0.1"},
                              {},
                              {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal+boot"},
                              {},
                              {"row 1 192.168.0.1 [XY] [1.0]", "row -2 192.168.0.1 [XY] [1.0]",
                               "line 192.168.0.1", "line 192.168.0.1   IP duplicate",
                               "status 2 devices found", "text 192.168.0.1"}},
                      // Without echo a default-address reply from a listed address would be recorded as -6:
                      // the single row shows the probe was not sent to it.
                      LanCase{"NoDefaultAddressProbeToAListedAddress",
                              {"192.168.0.1"},
                              {"192.168.0.1"},
                              {"addr=192.168.0.1,module=XY,detail=1.0,answers=normal+default"},
                              {},
                              {"row 4 192.168.0.1 [XY] [1.0]", "line 192.168.0.1   IP unreachable",
                               "status 1 device found", "text 192.168.0.1   IP unreachable"}},
                      LanCase{"ADeviceAtAFactoryDefaultAddress",
                              {"192.168.2.1"},
                              {},
                              {"addr=192.168.2.1,module=XY,answers=default"},
                              {},
                              {"row 2 192.168.2.1 [default IP] [unknown]", "line 192.168.2.1",
                               "status 1 device found", "text 192.168.2.1"}},
                      LanCase{"ATypedAddressAnsweringOnlyEcho",
                              {"10.77.5.5"},
                              {},
                              {},
                              {"10.77.5.5"},
                              {"row 6 10.77.5.5 [unknow module] []", "line 10.77.5.5   unknow device",
                               "status 1 device found", "text 10.77.5.5   unknow device"}}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace e2e
