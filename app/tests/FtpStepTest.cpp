// The FTP step of the Upgrade against a scripted FTP server: success, the refusals that end with a
// box, and the failures that go on with HTTP.
#include "app/tests/DriverFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FtpStep : public Driver {
protected:
    // A device of unknown kind (FTP) with one image, its password typed in, no automatic exit.
    void ready()
    {
        start();
        device1(1, 3);
        files();
        webDevice({});
        window.setText(MainControl::PasswordComBox, "secret");
        form->logShown = 1;
    }
    long position(const std::string& line) const
    {
        return std::find(window.log.begin(), window.log.end(), line) - window.log.begin();
    }
};

TEST_F(FtpStep, ASuccessfulRunLogsItsSectionsAndEnablesUpgrade)
{
    ready();
    form->attended = 1;
    form->UpgradeClick();
    EXPECT_EQ(form->upgradeState, UpgradeState::FtpFinished);
    EXPECT_EQ(ftpServer.stored.size(), 1u);
    EXPECT_THAT(window.log, Contains("FTP upgrade section :"));
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Upgrade Successfully !", "Success", BoxButtons::Ok)));
    EXPECT_TRUE(window.enabled(MainControl::Upgrade));
    EXPECT_FALSE(form->StopTimer->running());
    EXPECT_EQ(form->exitStatus(), 0);
}

TEST_F(FtpStep, ARefusedLoginOrFileEndsWithTheBoxAndTheStateStays)
{
    struct Row {
        const char* name;
        std::function<void(fw::FakeFtpClient&)> arrange;
        const char* box;
    };
    const Row rows[] = {
        {"login", [](fw::FakeFtpClient& s) { s.acceptedPassword = "other"; },
         "Incorrect password. Please check and input again!"},
        {"file", [](fw::FakeFtpClient& s) { s.refusedNames.insert("main.bin"); }, "Upgrade File Error"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.reset();
        window.boxes.clear();
        ready();
        row.arrange(ftpServer);
        form->UpgradeClick();
        EXPECT_THAT(window.boxes,
                    ElementsAre(messageBoxOf(row.box, "Authentication Failed", BoxButtons::Ok)));
        EXPECT_EQ(form->upgradeState, UpgradeState::FtpRunning);
        EXPECT_THAT(uploads(), IsEmpty());
        ftpServer.acceptedPassword = "secret";
        ftpServer.refusedNames.clear();
    }
}

TEST_F(FtpStep, A429ReplyEndsTheRunAndHttpFollows)
{
    ready();
    ftpServer.names429.insert("main.bin");
    form->UpgradeClick();
    waitForWorker();
    const long refused = position("Upgrade file error");
    const long failed = position("Unsing FTP upgrade mode fail : 192.168.0.1");
    const long told = position("Incorrect upgrade file. Please check again!");
    const long http = position("Unsing HTTP upgrade mode to : 192.168.0.1");
    EXPECT_LT(refused, failed);
    EXPECT_EQ(told, failed + 1);
    EXPECT_LT(told, http);
    EXPECT_LT(http, static_cast<long>(window.log.size()));
    EXPECT_EQ(form->upgradeMethod, 133); // HTTP after a failed FTP run
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFinished);
    EXPECT_EQ(uploads().size(), 1u);
}

TEST_F(FtpStep, ADeviceWithoutFtpIsUpgradedOverHttp)
{
    ready();
    ftpServer.reachable = false;
    form->UpgradeClick();
    waitForWorker();
    EXPECT_THAT(window.log, Contains("Unsing FTP upgrade mode fail : 192.168.0.1"));
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFinished);
    EXPECT_EQ(uploads().size(), 1u);
}

TEST_F(FtpStep, TheWatchdogEndsAStalledUpload)
{
    ready();
    form->timeOutTicks = 3;
    ftpServer.onOperation = [this](const fw::FakeFtpClient::Operation& op) {
        if (op.op != fw::FakeFtpClient::Op::Upload) return;
        // The upload waits for the network while the window's timers go on, until it is aborted.
        for (int i = 0; i < 10; ++i) loop.advanceBy(1000);
    };
    form->UpgradeClick();
    EXPECT_THAT(window.boxes,
                Contains(messageBoxOf("Upgrade Abnormal Terminate and Please ReRun the program to ReUpgrade",
                                      "FTP Upgrade Failure", BoxButtons::Ok)));
    EXPECT_TRUE(window.terminated());
    EXPECT_THAT(uploads(), IsEmpty()); // no HTTP after the program was ended
    EXPECT_EQ(form->exitStatus(), 1);
}

} // namespace
