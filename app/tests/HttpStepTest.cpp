// The HTTP step of the Upgrade against device web servers in memory: the boxes of every password
// check code, the user name check, the worker's outcome and its end codes, and the watchdog's end of a
// stalled upload.
#include "app/tests/DriverFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class HttpStep : public Driver {
protected:
    // A normal device with one HTTP image, its password typed in, no automatic exit.
    void ready(std::uint16_t method = 2)
    {
        start();
        device1(1, method);
        files();
        window.setText(MainControl::PasswordComBox, "secret");
        form->logShown = 1;
    }
    // A device whose login and index replies are these.
    void replies(std::string login, std::string index)
    {
        web.device("192.168.0.1", 80,
                   [login, index](const std::string& request) -> fw::FakeTcpNetwork::Reply {
                       return {request.starts_with("GET /cgi-bin/logi") ? login : index};
                   });
    }
};

TEST_F(HttpStep, EachPasswordCheckCodeShowsItsBoxAndEndsTheUpgrade)
{
    const std::string ok = "HTTP/1.1 200 OK\r\n\r\n";
    struct Row {
        const char* name;
        std::string login, index; // login empty: no web server at all
        const char* box;
        const char* caption;
    };
    const Row rows[] = {
        {"wrong password", ok, ok + "<!--CAS:0003-->", "Incorrect password. Please check and input again!",
         "Authentication Failed"},
        {"receive error", ok, ok + "<!--CAS:7777-->", "Receive response error 4", nullptr},
        {"send error", "", "", "Send request error", nullptr},
        {"bad port", "HTTP/1.1 301 Moved\r\nLocation: http://192.168.0.1:80x\r\n", "", "Port command error",
         nullptr},
        {"bad request", ok, "HTTP/1.1 400 Bad\r\n\r\n", "Bad request", nullptr},
        {"no login program", ok, "HTTP/1.1 404 No\r\n\r\n", "No CGI found", nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        form.reset();
        web.clear();
        window.boxes.clear();
        ready();
        if (!row.login.empty()) replies(row.login, row.index);
        form->UpgradeClick();
        ASSERT_FALSE(window.boxes.empty());
        const auto& box = window.boxes.back();
        EXPECT_EQ(box.text, row.box);
        EXPECT_EQ(box.caption, row.caption ? std::optional<std::string>{row.caption} : std::nullopt);
        EXPECT_EQ(form->upgradeState, UpgradeState::HttpFailed);
        EXPECT_FALSE(window.enabled(MainControl::Upgrade));
        EXPECT_FALSE(form->StopTimer->running());
        EXPECT_EQ(form->exitStatus(), 1);
        EXPECT_THAT(uploads(), IsEmpty());
    }
}

TEST_F(HttpStep, AWrongPasswordAlsoSetsTheStatusText)
{
    ready();
    webDevice({.password = "other"});
    form->UpgradeClick();
    EXPECT_EQ(window.status(), "Your input password is incorrect, please check again.");
}

TEST_F(HttpStep, ADeviceAskingForAUserNameGetsItAndIsUpgraded)
{
    ready();
    webDevice({.asksForUser = true});
    window.setText(MainControl::UserIDComBox, "admin");
    form->UpgradeClick();
    waitForWorker();
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFinished);
    EXPECT_EQ(uploads().size(), 1u);
    EXPECT_THAT(window.log, Contains("Peer ask for win-authentication"));
}

TEST_F(HttpStep, ARefusedUserNameBringsTheUserFieldIntoView)
{
    ready();
    webDevice({.asksForUser = true});
    window.setText(MainControl::UserIDComBox, "guest");
    form->UpgradeClick();
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Incorrect UserName or Password. Please check and input again!",
                                         "Authentication Failed", BoxButtons::Ok)));
    EXPECT_EQ(window.status(), "username or password is incorrect, please check again.");
    EXPECT_TRUE(window.visible(MainControl::UserIDComBox));
    EXPECT_TRUE(window.visible(MainControl::UserLabel));
    EXPECT_EQ(window.left(MainControl::Label2), 160);
    EXPECT_EQ(window.left(MainControl::PasswordComBox), 215);
    EXPECT_EQ(window.width(MainControl::PasswordComBox), 110);
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFailed);
}

TEST_F(HttpStep, AfterAFailedFtpRunARefusedPasswordEndsWithoutABox)
{
    ready(133);
    webDevice({.asksForUser = true});
    window.setText(MainControl::UserIDComBox, "guest");
    form->UpgradeClick();
    EXPECT_THAT(window.boxes, IsEmpty());
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFailed);
    // The user name check ran at once after the password check.
    EXPECT_THAT(window.log, Contains("send win_auth login PKT success"));
}

TEST_F(HttpStep, TheWorkerReportsAVerdictInTheFailureBoxAndLeavesItsEndCodes)
{
    ready();
    webDevice({.verdict = "<!--CAS:8002-->"});
    form->UpgradeClick();
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpRunning);
    waitForWorker();
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFailed);
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Unallowable upgrade file", "Failure", BoxButtons::Ok)));
    EXPECT_EQ(window.status(), "Unallowable upgrade file");
    EXPECT_EQ(form->stopCounter, THTTPThread::kDone);
    loop.advanceBy(1000); // the watchdog's tick finishes the run
    EXPECT_FALSE(form->StopTimer->running());
    EXPECT_THAT(window.log, Contains("HTTP upgrade section :"));
    EXPECT_FALSE(window.enabled(MainControl::Upgrade));
}

TEST_F(HttpStep, AnAttendedSuccessShowsTheResultAndEnablesUpgradeAgain)
{
    ready();
    form->attended = 1;
    webDevice({});
    form->UpgradeClick();
    waitForWorker();
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Upgrade Successfully", "Success", BoxButtons::Ok)));
    EXPECT_TRUE(window.enabled(MainControl::Upgrade));
    EXPECT_EQ(form->upgradeState, UpgradeState::HttpFinished);
    EXPECT_EQ(form->exitStatus(), 0);
}

TEST_F(HttpStep, AnUnattendedUpgradeEndsTheProgramAfterTheWorkerIsDone)
{
    ready();
    form->logShown = 0;
    webDevice({});
    form->UpgradeClick();
    EXPECT_FALSE(window.closed()); // the worker still runs: no automatic exit yet
    waitForWorker();
    loop.advanceBy(1000);
    EXPECT_THAT(window.log, Contains("HTTP upgrade section :"));
    EXPECT_TRUE(window.closed());
    EXPECT_EQ(form->exitStatus(), 0);
}

TEST_F(HttpStep, TheWatchdogEndsAStalledUploadAndTheWorkerGivesUp)
{
    ready();
    form->timeOutTicks = 3;
    webDevice({});
    web.stallRequestsBeginning("POST /upg ");
    form->UpgradeClick();
    loop.advanceBy(3000);
    EXPECT_THAT(window.boxes,
                Contains(messageBoxOf("Upgrade Abnormal Terminate and Please ReRun the program to ReUpgrade",
                                      "HTTP Upgrade Failure", BoxButtons::Ok)));
    EXPECT_TRUE(window.terminated());
    for (int i = 0; i < 2000 && !form->httpWorker->finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(form->httpWorker->finished());
    loop.processPendingEvents();
    // Nothing the stopped worker did afterwards reached the window.
    EXPECT_EQ(std::count_if(window.boxes.begin(), window.boxes.end(),
                            [](const auto& b) { return b.caption == "Failure"; }),
              0);
    EXPECT_EQ(form->exitStatus(), 1);
}

} // namespace
