// The message window's timers and the rule that decides whether a message shows.
#include "messages/HintForm.h"
#include "messages/testing/ScriptedMessageWindows.h"
#include "messages/tests/MessageBytes.h"
#include "platform/testing/ScriptedWindow.h"
#include "platform/testing/VirtualLoop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace messages::testing;
using ::testing::ElementsAre;
using ::testing::Pair;

class HintForm : public ::testing::Test {
protected:
    fw::VirtualLoop loop;
    ScriptedMessageWindows windows{loop};
    fw::ScriptedWindow log;
};

TEST_F(HintForm, BlinkingTextHidesAtHalfASecondAndTheWindowClosesAfterItsLiveTime)
{
    THintForm form{loop, windows, messageBytes({.liveTime = 5, .steady = 0, .text = "Hi"})};
    form.ShowModal();
    const auto& w = windows.records.at(0);
    EXPECT_EQ(w.openedAt, 0);
    EXPECT_EQ(w.closedAt, 600);
    EXPECT_THAT(w.contents, ElementsAre(Pair(0, "Hi"), Pair(500, "")));
    EXPECT_EQ(loop.runningTimers(), 0);
}

TEST_F(HintForm, NoLiveTimeStopsBothTimersAtTheFirstTickAndKeepsTheText)
{
    THintForm form{loop, windows, messageBytes({.liveTime = 0, .steady = 0})};
    loop.advanceBy(100);
    EXPECT_EQ(loop.runningTimers(), 0);
    loop.advanceBy(5000);
    EXPECT_THAT(windows.records.at(0).contents, ElementsAre(Pair(0, "Hello"))); // never blinked
    EXPECT_FALSE(form.closed());
}

TEST_F(HintForm, ALongLiveTimeActsAsEightSeconds)
{
    THintForm form{loop, windows, messageBytes({.liveTime = 300, .steady = 1})};
    form.ShowModal();
    EXPECT_EQ(windows.records.at(0).closedAt, 8100);
    EXPECT_EQ(windows.records.at(0).contents.size(), 1u); // steady text does not blink
}

TEST_F(HintForm, TheUserMayCloseItAtAnyTime)
{
    windows.userClosesAtOnce = true;
    THintForm form{loop, windows, messageBytes({.liveTime = 0})};
    form.ShowModal(); // returns although no timer could end it
    EXPECT_TRUE(form.closed());
}

TEST_F(HintForm, TakesCaptionColourAndOnlyTheTextTheRecordHolds)
{
    auto bytes = messageBytes({.caption = "Read me", .background = 0x00112233, .text = "0123456789"});
    bytes.resize(MessageRecord::kHeaderSize + 4); // Text_Length says 10
    THintForm form{loop, windows, bytes};
    EXPECT_EQ(windows.records.at(0).caption, "Read me");
    EXPECT_EQ(windows.records.at(0).background, 0x00112233u);
    EXPECT_EQ(form.message().text, "0123");
    THintForm tiny{loop, windows, std::vector<std::byte>(20)}; // shorter than its header
    EXPECT_EQ(tiny.message().text, "");
}

struct RuleCase {
    const char* label;
    MessageSpec message;
    std::uint16_t attribute;
    int mode;
    std::string module;
    std::string path;
    bool shown;
    std::vector<std::string> log;
    friend void PrintTo(const RuleCase& c, std::ostream* os) { *os << c.label; }
};

class ShowRule : public HintForm, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(ShowRule, ShowsOrRefusesByModeAndFlags)
{
    const RuleCase& c = GetParam();
    THintForm form{loop, windows, messageBytes(c.message)};
    ShowMessageFile(form, &log, c.attribute, c.mode, c.module, c.path);
    EXPECT_EQ(windows.records.at(0).openedAt >= 0, c.shown);
    EXPECT_EQ(log.log, c.log);
}

const std::string kNote = "/tmp/fw/note.txt";
const std::string kAbcNote = "/tmp/fw/abc_note.txt";

INSTANTIATE_TEST_SUITE_P(
    Modes, ShowRule,
    ::testing::Values(
        RuleCase{"MenuDefault", {.liveTime = 1}, 0x0401, kMessageMenuMode, "", "", true, {}},
        RuleCase{"MenuVeltAloneIsNotShown",
                 {.name = "VELT", .liveTime = 1},
                 0x0402,
                 kMessageMenuMode,
                 "",
                 "",
                 false,
                 {}},
        RuleCase{
            "MenuVeltAndMore", {.name = "VELT1", .liveTime = 1}, 0x0402, kMessageMenuMode, "", "", true, {}},
        RuleCase{"MenuVeltInLowerCase",
                 {.name = "velt1", .liveTime = 1},
                 0x0402,
                 kMessageMenuMode,
                 "",
                 "",
                 false,
                 {}},
        RuleCase{
            "MenuNeedsBothFlags", {.liveTime = 1, .tftp = 0}, 0x0401, kMessageMenuMode, "", "", false, {}},
        RuleCase{"FtpModuleMatch",
                 {.liveTime = 1, .ftp = 0, .tftp = 0},
                 0x0402,
                 kMessageFtpMode,
                 "ABC",
                 kAbcNote,
                 true,
                 {}},
        RuleCase{"FtpModuleDifferent",
                 {.liveTime = 1, .ftp = 0, .tftp = 0},
                 0x0402,
                 kMessageFtpMode,
                 "ABC",
                 kNote,
                 false,
                 {"Message name different. Ignore Message File >>" + kNote, "Message Attribute > 1026"}},
        RuleCase{"FtpRefusesATftpMessage",
                 {.liveTime = 1, .ftp = 0, .tftp = 1},
                 0x0401,
                 kMessageFtpMode,
                 "",
                 kNote,
                 false,
                 {"Unknow Message File in FTP Mode >>" + kNote, "Message Attribute > 1025"}},
        RuleCase{"TftpShowsATftpMessage",
                 {.liveTime = 1, .ftp = 0, .tftp = 1},
                 0x0401,
                 kMessageTftpMode,
                 "",
                 kNote,
                 true,
                 {}},
        RuleCase{"TftpRefusesAnFtpMessage",
                 {.liveTime = 1, .ftp = 1, .tftp = 0},
                 0x0401,
                 kMessageTftpMode,
                 "",
                 kNote,
                 false,
                 {"Unknow Message File in TFTP Mode >>" + kNote, "Message Attribute > 1025"}},
        RuleCase{"NeitherCheckIsNotShownAndNotLogged",
                 {.liveTime = 1, .ftp = 0, .tftp = 0},
                 0x0400,
                 kMessageFtpMode,
                 "",
                 kNote,
                 false,
                 {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(HtmlToPlain, KeepsTheLinesAndDecodesEntities)
{
    EXPECT_EQ(htmlToPlain("<p><span style=\"font-weight:600\">A &amp; B</span></p><p>C<br>D</p>"),
              "A & B\nC\nD");
    EXPECT_EQ(htmlToPlain("x &lt; y"), "x < y");
    EXPECT_EQ(htmlToPlain("cut <b"), "cut ");
}

} // namespace
