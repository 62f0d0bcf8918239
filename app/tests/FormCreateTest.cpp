// The creation step and the entry: defaults, the bundle's list, and the ends of a failed start.
#include "app/Entry.h"
#include "app/ExitStatus.h"
#include "app/tests/AppFixture.h"
#include "discovery/QuietSearchWindow.h"
#include "messages/tests/MessageBytes.h"
#include "platform/testing/FakeFtpClient.h"
#include "platform/testing/FakeProbeSocket.h"
#include "platform/testing/FakeUdpDatagram.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using namespace bundle::testing;
using bundle::BundleRecord;
using bundle::composeBundle;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::ElementsAre;

TEST_F(AppFixture, CreationSetsTheDefaults)
{
    create();
    EXPECT_THAT(window.log, ElementsAre("Program Version V1.1.1e", "Program build at 2002/02/19 pm 1:48",
                                        "No Imbed File Found !!"));
    EXPECT_EQ(form->cmdRomID, "Vantik");
    EXPECT_EQ(form->settings.record.flags, 0x9F);
    EXPECT_EQ(form->timeOutTicks, 40);
    EXPECT_EQ(form->listDetail, 111);
    EXPECT_EQ(form->fullHeight, 359);
    EXPECT_EQ(form->filesPreset, 0);
    EXPECT_EQ(window.text(MainControl::UserIDComBox), "admin");
    EXPECT_EQ(form->fileList.count, 1); // the program copy
    EXPECT_FALSE(form->StopTimer->running());
    EXPECT_EQ(form->startFailed, 0);
}

TEST_F(AppFixture, ABundleWithImagesIsListedCountedAndCopied)
{
    create({}, composeBundle(filled(32), std::vector<BundleRecord>{record("control.cfg", 0x1000, 224),
                                                                   record("main.bin", 0x080D, 10),
                                                                   record("boot.bin", 0x0809, 10)}));
    EXPECT_THAT(logAfterVersionLines(),
                ElementsAre("Imbed file 0 : " + temp->prefix() + "fwupgrade.tmp", "Imbed File Attrib : 0",
                            "Imbed file 1 : " + temp->prefix() + "control.cfg.tmp",
                            "Imbed File Attrib : 4096", "Imbed file 2 : " + temp->prefix() + "main.bin.tmp",
                            "Imbed File Attrib : 2061", "Imbed file 3 : " + temp->prefix() + "boot.bin.tmp",
                            "Imbed File Attrib : 2057"));
    EXPECT_EQ(form->upgradeFileCount, 2);
    EXPECT_EQ(form->filesPreset, 1);
    ASSERT_EQ(form->fileList.count, 4);
    EXPECT_EQ(form->fileList.attributes[3], 0x0809);
}

TEST_F(AppFixture, ABundleWithoutImagesAsksTheUserForFiles)
{
    create({}, composeBundle(filled(32), std::vector<BundleRecord>{record("control.cfg", 0x1000, 224)}));
    EXPECT_EQ(window.log.back(), "No Upgrade File Found !!");
    EXPECT_EQ(form->filesPreset, 0);
    EXPECT_EQ(form->fileList.count, 2);
}

TEST_F(AppFixture, AnUnsupportedVersionEndsTheStartWithoutAFurtherBox)
{
    create({}, composeBundle(filled(32), std::vector<BundleRecord>{record("a", 0x080D, 4)}, 3));
    EXPECT_EQ(form->startFailed, 1);
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Please change append tool to version V1.23.",
                                                       "Version Not support", BoxButtons::Ok)));
    EXPECT_TRUE(window.terminated());
    EXPECT_TRUE(window.released());
    EXPECT_TRUE(window.closed());
}

TEST_F(AppFixture, AnUnreadableBundleEndsTheStartAndRemovesWhatWasWritten)
{
    auto broken =
        composeBundle(filled(16), std::vector<BundleRecord>{record("a", 0x080D, 4), record("b", 0x080D, 4)});
    storeLe32(broken, 16 + 38 + 4, 20); // the second record's length
    create({}, broken);
    EXPECT_EQ(form->startFailed, 1);
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Error to open file in read_imbed_file function", "File Error",
                                         BoxButtons::OkCancel),
                            messageBoxOf("Read Imbed File Error !!", "Initial Error", BoxButtons::Ok)));
    EXPECT_TRUE(window.closed());
    EXPECT_TRUE(fw::directoryEntries(temp->path()).empty()); // closing destroyed the reader
}

TEST_F(AppFixture, StartMessagesShowWhileTheBundleIsRead)
{
    const auto start =
        messages::testing::messageBytes({.name = "welcome", .caption = "Welcome", .liveTime = 2});
    const auto veltOnly = messages::testing::messageBytes({.name = "note", .liveTime = 2}); // needs VELT
    const auto transfer = messages::testing::messageBytes({.liveTime = 2, .ftp = 1, .tftp = 0});
    create({}, composeBundle(filled(8), std::vector<BundleRecord>{{"welcome", 0x0401, start},
                                                                  {"note", 0x0402, veltOnly},
                                                                  {"during", 0x0401, transfer},
                                                                  record("main.bin", 0x080D, 4)}));
    ASSERT_EQ(messageWindows.records.size(), 3u); // one window built per message record
    EXPECT_EQ(messageWindows.records[0].caption, "Welcome");
    EXPECT_EQ(messageWindows.records[0].closedAt, 300); // shown, then closed by its live time
    EXPECT_EQ(messageWindows.records[1].openedAt, -1);
    EXPECT_EQ(messageWindows.records[2].openedAt, -1);
    EXPECT_EQ(form->filesPreset, 1);
}

class CountingFrontEnd final : public FrontEnd {
public:
    int run(TUpgradeForm1& form) override
    {
        ++runs;
        searchCreated = form.RefreshForm != nullptr;
        return form.exitStatus();
    }
    int runs = 0;
    bool searchCreated = false;
};

TEST_F(AppFixture, TheEntryRunsTheFrontEndOnlyAfterASuccessfulCreation)
{
    CountingFrontEnd frontEnd;
    fw::FakeProbeSocket socket;
    fw::FakeIcmpEcho echo;
    QuietSearchWindow searchWindow;
    fw::FakeUdpNetwork network{loop};
    fw::FakeUdpDatagram tftpSocket{network};
    fw::FakeFtpClient ftpClient;
    const ProgramParts parts{window, loop, searchWindow, socket, echo, messageWindows, tftpSocket, ftpClient};
    const std::string good = writeFile(*inputs, "good", bytesOf("plain"));
    EXPECT_EQ(runEntry(parts, frontEnd, {{}, good, good, temp->prefix()}), kExitNeedsPerson);
    EXPECT_EQ(frontEnd.runs, 1);
    EXPECT_TRUE(frontEnd.searchCreated);
    EXPECT_TRUE(fw::directoryEntries(temp->path()).empty());

    const std::string bad =
        writeFile(*inputs, "bad", composeBundle(filled(8), std::vector<BundleRecord>{}, 3));
    EXPECT_EQ(runEntry(parts, frontEnd, {{}, bad, bad, temp->prefix()}), kExitCannotStart);
    EXPECT_EQ(frontEnd.runs, 1);
}

TEST(ExitStatus, FollowsTheLastRunsOutcome)
{
    ScriptedMainWindow window;
    fw::VirtualLoop loop;
    TUpgradeForm1 form{window, loop, {}};
    const std::pair<std::int16_t, int> cases[] = {
        {UpgradeState::None, kExitNeedsPerson},       {UpgradeState::TftpAccepted, kExitSucceeded},
        {UpgradeState::HttpFinished, kExitSucceeded}, {UpgradeState::FtpFinished, kExitSucceeded},
        {UpgradeState::TftpRefused, kExitFailed},     {UpgradeState::HttpFailed, kExitFailed},
        {UpgradeState::FtpRunning, kExitFailed},      {UpgradeState::FtpFailed, kExitFailed},
    };
    for (const auto& [state, status] : cases) {
        form.upgradeState = state;
        EXPECT_EQ(form.exitStatus(), status) << state;
    }
}

} // namespace
