// The device search against simulated devices behind the in-memory socket and echo.
#include "discovery/Refresh.h"
#include "discovery/testing/ScriptedSearchWindow.h"
#include "discovery/tests/FakeLan.h"
#include "platform/testing/ScriptedWindow.h"
#include "platform/testing/VirtualLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace discovery::testing;
using ::testing::ElementsAre;

class Search : public ::testing::Test {
protected:
    fw::VirtualLoop loop;
    fw::FakeProbeSocket socket;
    fw::FakeIcmpEcho echo;
    ScriptedSearchWindow window;
    fw::ScriptedWindow log;
    TRefreshForm form{loop, socket, echo, window, &log};

    void lan(const std::vector<SimDevice>& devices, std::set<std::string> answeringEcho)
    {
        connect(socket, devices);
        echo.answering = std::move(answeringEcho);
    }
    std::vector<int> states() const
    {
        std::vector<int> out;
        for (int i = 0; i < form.deviceList.count; ++i) out.push_back(form.deviceList.rows[i].state);
        return out;
    }
    int sentTo(const std::string& address, std::uint16_t port) const
    {
        return static_cast<int>(std::count_if(socket.sent.begin(), socket.sent.end(), [&](const auto& s) {
            return s.to == fw::Endpoint{address, port};
        }));
    }
};

TEST_F(Search, ANormalDeviceGivesOneRowAndIsNotProbedAtItsDefaultAddress)
{
    lan({{"192.168.0.1", {probe::kNormal}}}, {"192.168.0.1"});
    form.SearchDevices(TRefreshForm::kBroadcast);
    ASSERT_EQ(form.deviceList.count, 1);
    const auto& row = form.deviceList.rows[0];
    EXPECT_EQ(row.state, DeviceState::Normal);
    EXPECT_EQ(row.ip, "192.168.0.1");
    EXPECT_EQ(row.module, "XY");
    EXPECT_EQ(row.detail, "1.0");
    EXPECT_EQ(sentTo("192.168.0.1", 9), 0);     // already listed: no default-address probe
    EXPECT_EQ(sentTo("192.168.2.1", 9), 1);     // the other default addresses are probed
    EXPECT_EQ(sentTo("255.255.255.255", 9), 1); // the normal probe
    EXPECT_EQ(sentTo("255.255.255.255", 67), 1);
    EXPECT_EQ(sentTo("255.255.255.255", 69), 1);
}

struct StateCase {
    const char* label;
    std::vector<SimDevice> devices;
    std::set<std::string> echo;
    std::vector<int> states;
    friend void PrintTo(const StateCase& c, std::ostream* os) { *os << c.label; }
};

class SearchStates : public Search, public ::testing::WithParamInterface<StateCase> {};

TEST_P(SearchStates, RecordWhatEachDeviceAnswered)
{
    lan(GetParam().devices, GetParam().echo);
    form.SearchDevices(TRefreshForm::kBroadcast);
    EXPECT_EQ(states(), GetParam().states);
}

const std::string kA = "10.0.0.5";
const std::string kDefault = "192.168.2.1";

INSTANTIATE_TEST_SUITE_P(
    Devices, SearchStates,
    ::testing::Values(
        StateCase{"Normal", {{kA, {probe::kNormal}}}, {kA}, {1}},
        StateCase{"NormalWithoutEcho", {{kA, {probe::kNormal}}}, {}, {4}},
        StateCase{"NormalAndBootRequestFromOneDevice",
                  {{kA, {probe::kNormal, probe::kBootRequest}}},
                  {kA},
                  {1, -2}},
        StateCase{"TwoDevicesOnOneAddressWithoutEcho",
                  {{kA, {probe::kNormal}}, {kA, {probe::kNormal}}},
                  {},
                  {4, -5}},
        StateCase{"Crashed", {{kA, {probe::kCrash}}}, {kA}, {0}},
        StateCase{"CrashedTwiceOnOneAddress", {{kA, {probe::kCrash}}, {kA, {probe::kCrash}}}, {kA}, {0, -1}},
        StateCase{"CrashedWithoutEcho", {{kA, {probe::kCrash}}, {kA, {probe::kCrash}}}, {}, {3, -4}},
        StateCase{"NormalThenCrashedOnOneAddress", {{kA, {probe::kNormal, probe::kCrash}}}, {kA}, {1, -1}},
        StateCase{"AtADefaultAddress", {{kDefault, {probe::kDefaultAddress}}}, {kDefault}, {2}},
        StateCase{"AtADefaultAddressWithoutEcho", {{kDefault, {probe::kDefaultAddress}}}, {}, {5}},
        // A device that answers the default-address probe from an address already listed.
        StateCase{"DefaultReplyFromAListedAddressWithoutEcho",
                  {{kA, {probe::kNormal}}, {kDefault, {probe::kDefaultAddress}, "XY", "1.0", kA}},
                  {},
                  {4, -6}},
        StateCase{"DefaultReplyFromAListedAddressWithEchoIsNotRecordedAgain",
                  {{kA, {probe::kNormal}}, {kDefault, {probe::kDefaultAddress}, "XY", "1.0", kA}},
                  {kA},
                  {1}},
        StateCase{"NothingAnswers", {}, {}, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Search, ACrashedDeviceReportsItsBootLoader)
{
    lan({{kA, {probe::kCrash}, "VN100"}}, {kA});
    form.SearchDevices(TRefreshForm::kBroadcast);
    ASSERT_EQ(form.deviceList.count, 1);
    EXPECT_EQ(form.deviceList.rows[0].module, "$Brisel-VN100");
    EXPECT_EQ(form.deviceList.rows[0].detail, "unknown");
}

TEST_F(Search, ATypedAddressThatOnlyAnswersEchoIsAnUnknownDevice)
{
    lan({}, {"10.0.0.9"});
    form.SearchDevices("10.0.0.9");
    ASSERT_EQ(form.deviceList.count, 1);
    EXPECT_EQ(form.deviceList.rows[0].state, DeviceState::Unknown);
    EXPECT_EQ(form.deviceList.rows[0].module, "unknow module");
    EXPECT_EQ(form.deviceList.rows[0].detail, "");
    EXPECT_EQ(window.position(), 100);

    form.ClearDeviceList();
    echo.answering.insert("255.255.255.255");
    form.SearchDevices(TRefreshForm::kBroadcast); // the broadcast search has no ping-only pass
    EXPECT_EQ(form.deviceList.count, 0);
}

TEST_F(Search, AListedAddressIsNotProbedAgain)
{
    lan({{kA, {probe::kNormal}}}, {kA});
    form.SearchDevices(TRefreshForm::kBroadcast);
    const auto sent = socket.sent.size();
    EXPECT_EQ(form.ProbeDevices(probe::kNormal, kA, 9), 1);
    EXPECT_EQ(socket.sent.size(), sent);
}

TEST_F(Search, FromTheBootRequestOnEveryProbeLeavesFromPort68)
{
    lan({}, {});
    form.SearchDevices(TRefreshForm::kBroadcast);
    form.SearchDevices(TRefreshForm::kBroadcast);
    std::vector<std::uint16_t> ports;
    for (const auto& s : socket.sent) ports.push_back(s.fromPort);
    const std::vector<std::uint16_t> firstSearch{0, 68, 68, 68, 68, 68, 68};
    ASSERT_EQ(ports.size(), 2 * firstSearch.size());
    EXPECT_TRUE(std::equal(firstSearch.begin(), firstSearch.end(), ports.begin()));
    EXPECT_TRUE(std::all_of(ports.begin() + 7, ports.end(), [](auto p) { return p == 68; }));
}

TEST_F(Search, APortThatCannotBeHadSkipsTheBootRequestOnly)
{
    socket.refusedPorts = {68};
    lan({{kA, {probe::kNormal, probe::kCrash}}}, {kA});
    form.SearchDevices(TRefreshForm::kBroadcast);
    EXPECT_THAT(log.log,
                ElementsAre("Device search: probe to 255.255.255.255 skipped: Address already in use"));
    EXPECT_EQ(sentTo("255.255.255.255", 67), 0);
    EXPECT_EQ(sentTo("255.255.255.255", 69), 1); // sent from a port the system picked
    EXPECT_EQ(states(), (std::vector<int>{1, -1}));
    EXPECT_EQ(socket.localPort(), 68);
}

TEST_F(Search, FlagsChooseTheProbes)
{
    lan({}, {});
    form.SetSearchConfig(0x04, "Vantik", {"default", "default", "default", "default"}); // 0x80 missing
    form.SearchDevices(TRefreshForm::kBroadcast);
    EXPECT_TRUE(socket.sent.empty());

    form.SetSearchConfig(0xFF, "R2D2", {"10.1.1.1", "default", "", "default"}); // 0xFF keeps the flags
    EXPECT_EQ(form.searchFlags, 0x04);
    EXPECT_EQ(form.defaultAddr, (std::array<std::string, 4>{"10.1.1.1", "192.168.2.1", "", "192.168.1.254"}));
    form.SetSearchConfig(0x86, "R2D2", {"default", "default", "default", "default"});
    form.SearchDevices(TRefreshForm::kBroadcast);
    ASSERT_EQ(socket.sent.size(), 4u); // boot request, then three default addresses (the empty one skipped)
    EXPECT_EQ(socket.sent[0].bytes, probe::bootRequest("R2D2"));
    EXPECT_EQ(socket.sent[1].to, (fw::Endpoint{"10.1.1.1", 9}));
    EXPECT_EQ(socket.sent[3].to, (fw::Endpoint{"192.168.1.254", 9}));
}

TEST_F(Search, ASixtyFifthReplyIsNotRecorded)
{
    std::vector<SimDevice> devices;
    for (int i = 1; i <= 65; ++i) devices.push_back({"10.0.1." + std::to_string(i), {probe::kNormal}});
    lan(devices, {});
    form.SearchDevices(TRefreshForm::kBroadcast);
    EXPECT_EQ(form.deviceList.count, 64);
    EXPECT_EQ(form.deviceList.rows[63].ip, "10.0.1.64");
}

TEST_F(Search, ProgressStepsByTwoAndStopsAtItsMaximum)
{
    std::vector<SimDevice> devices;
    for (int i = 0; i < 60; ++i) devices.push_back({"10.0.2." + std::to_string(i), {probe::kNormal}});
    lan(devices, {});
    form.SetSearchConfig(0x01, "Vantik", {"default", "default", "default", "default"});
    window.setPosition(0);
    form.ProbeDevices(probe::kNormal, TRefreshForm::kBroadcast, 9);
    ASSERT_GE(window.positions.size(), 51u);
    EXPECT_EQ(window.positions[1], 2);
    EXPECT_EQ(window.positions[2], 4);
    EXPECT_TRUE(
        std::all_of(window.positions.begin(), window.positions.end(), [](int p) { return p <= 100; }));
    EXPECT_EQ(window.position(), 100);
}

TEST_F(Search, RepliesOfTheWrongFormOnlyMoveTheBar)
{
    for (int i = 0; i < 3; ++i) socket.deliver({std::byte{0}, std::byte{5}}, "10.0.3.1", 69);
    form.SetSearchConfig(0x08, "Vantik", {"default", "default", "default", "default"});
    window.setPosition(0);
    EXPECT_EQ(form.ProbeDevices(probe::kCrash, TRefreshForm::kBroadcast, 69), 0);
    EXPECT_EQ(window.position(), 6);
    EXPECT_TRUE(echo.pinged.empty());
}

TEST_F(Search, EachProbeWaits200MsAndHandlesNoEventsMeanwhile)
{
    lan({}, {});
    int ticks = 0;
    auto timer = loop.createTimer(10);
    timer->onTick = [&] { ++ticks; };
    timer->start();
    const auto before = loop.nowMs();
    form.SearchDevices(TRefreshForm::kBroadcast);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(loop.nowMs() - before, 8 * 201); // normal, boot, crash, four default addresses, ping-only
}

TEST_F(Search, TheModalWindowSearchesTwiceAndClosesItself)
{
    lan({{kA, {probe::kNormal}}}, {kA});
    form.ShowModal();
    EXPECT_EQ(window.shown, 1);
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(sentTo("255.255.255.255", 9), 2);
    EXPECT_EQ(states(), (std::vector<int>{1})); // the second search's list
    EXPECT_EQ(loop.runningTimers(), 0);
}

} // namespace
