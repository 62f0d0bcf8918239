// The device entry's lines and the count line.
#include "discovery/Refresh.h"
#include "discovery/testing/ScriptedSearchWindow.h"
#include "platform/testing/FakeProbeSocket.h"
#include "platform/testing/ScriptedWindow.h"
#include "platform/testing/VirtualLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;

class RecordingEntry final : public DeviceEntry {
public:
    void clearEntryLines() override { lines.clear(); }
    void addEntryLine(std::string_view line) override { lines.emplace_back(line); }
    void setEntryText(std::string_view t) override { text = t; }
    std::vector<std::string> lines;
    std::string text = "old";
};

class DeviceBox : public ::testing::Test {
protected:
    fw::VirtualLoop loop;
    fw::FakeProbeSocket socket;
    fw::FakeIcmpEcho echo;
    ScriptedSearchWindow window;
    TRefreshForm form{loop, socket, echo, window, nullptr};
    RecordingEntry entry;
    fw::ScriptedWindow status;

    void rows(std::initializer_list<TRefreshForm::router_info> list)
    {
        for (const auto& row : list) form.deviceList.rows[form.deviceList.count++] = row;
    }
};

TEST_F(DeviceBox, AnEmptyListGivesNoLinesAndAZeroCount)
{
    form.FillDeviceBox(entry, status, 111);
    EXPECT_TRUE(entry.lines.empty());
    EXPECT_EQ(entry.text, "");
    EXPECT_EQ(status.status(), "0 device found");
}

TEST_F(DeviceBox, BriefAndDetailedLines)
{
    rows({{1, "192.168.0.1", "XY", "1.0"}});
    form.FillDeviceBox(entry, status, 111);
    EXPECT_THAT(entry.lines, ElementsAre("192.168.0.1"));
    EXPECT_EQ(entry.text, "192.168.0.1");
    EXPECT_EQ(status.status(), "1 device found");
    form.FillDeviceBox(entry, status, 222);
    EXPECT_THAT(entry.lines, ElementsAre("192.168.0.1  XY - 1.0   normal"));
}

TEST_F(DeviceBox, TwoOrMoreAreDevicesAndTheTextIsTheSortedFirstLine)
{
    rows({{0, "192.168.1.254", "", ""}, {1, "10.0.0.2", "", ""}, {4, "172.16.0.1", "", ""}});
    form.FillDeviceBox(entry, status, 111);
    EXPECT_EQ(status.status(), "3 devices found");
    EXPECT_EQ(entry.text, "10.0.0.2");
}

TEST(StateText, EveryStateInBothForms)
{
    struct Case {
        int state;
        const char* brief;
        const char* detailed;
    };
    const Case cases[] = {
        {1, "", "   normal"},
        {2, "", "   default"},
        {0, "   crash", "   crash"},
        {-2, "   IP duplicate", "   normal IP duplicate"},
        {-1, "   crash and IP duplicate", "   crash and IP duplicate"},
        {3, "   crash and IP unreachable", "   crash and IP unreachable"},
        {4, "   IP unreachable", "   normal IP unreachable"},
        {5, "   IP unreachable", "   default IP unreachable"},
        {-6, "   IP unreachable and duplicate", "   default IP unreachable and duplicate"},
        {-5, "   IP unreachable and duplicate", "   normal IP unreachable and duplicate"},
        {-4, "   crash and IP unreachable and duplicate", "   crash IP unreachable and duplicate"},
        {6, "   unknow device", "   unknow device"},
        {7, "  unknow error", "  unknow error"},
        {-3, "  unknow error", "  unknow error"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stateText(c.state, 111), c.brief) << c.state;
        EXPECT_EQ(stateText(c.state, 222), c.detailed) << c.state;
    }
}

} // namespace
