// The Upgrade button and the watchdog: checks before a run, the method order, the TFTP run to its
// end, and every stopCounter code.
#include "app/tests/DriverFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

TEST_F(Driver, AnUnknownDeviceIsReportedAndUpgradeDisabled)
{
    start();
    window.setText(MainControl::IPComBox, "10.9.9.9 typed");
    window.setEnabled(MainControl::Upgrade, true);
    form->UpgradeClick();
    EXPECT_EQ(window.log.back(), "Read Select Router Infomation Error");
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Please press \"ENTER\" to check router information in select box",
                                         "Router information not found", BoxButtons::Ok)));
    EXPECT_FALSE(window.enabled(MainControl::Upgrade));
}

TEST_F(Driver, ADeviceThatDoesNotAnswerIsReported)
{
    start();
    device1(1, 2, false);
    form->UpgradeClick();
    EXPECT_EQ(window.log.back(), "Unconnect to router : 192.168.0.1");
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Unconnect to router", "Router connection failure",
                                                       BoxButtons::Ok)));
    EXPECT_EQ(form->exitStatus(), 1);
}

TEST_F(Driver, NoFilesAtAllKeepsUpgradeEnabled)
{
    start({"put", "null", "null", "null"});
    device1(0, 1);
    window.setEnabled(MainControl::Upgrade, true);
    form->UpgradeClick();
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Please select the upgrade file",
                                                       "upgrade file not found", BoxButtons::Ok)));
    EXPECT_TRUE(window.enabled(MainControl::Upgrade));
}

struct OrderCase {
    std::uint16_t method;
    std::uint8_t order;
    const char* runs;   // "TFTP", "HTTP", "FTP" (FTP, then HTTP after it fails) or "none"
    bool older = false; // the password check finds an older device, whose method is FTP
    friend void PrintTo(const OrderCase& c, std::ostream* os)
    {
        *os << c.method << "/" << int{c.order} << (c.older ? " older" : "");
    }
};

class MethodOrder : public Driver, public ::testing::WithParamInterface<OrderCase> {};

TEST_P(MethodOrder, PicksTheMethodOfTheTable)
{
    const OrderCase& c = GetParam();
    start();
    device1(1, c.method);
    files();
    webDevice({.older = c.older});
    window.setText(MainControl::PasswordComBox, "secret");
    form->logShown = 1; // no automatic exit
    form->orderPreset = c.order != 0;
    form->settings.record.methodOrder = c.order;
    form->UpgradeClick();
    const std::string runs = c.runs;
    const auto logged = [&](const std::string& line) {
        return std::find(window.log.begin(), window.log.end(), line) - window.log.begin();
    };
    if (runs == "TFTP") {
        EXPECT_EQ(form->upgradeState, UpgradeState::TftpRunning);
        EXPECT_THAT(window.log, Contains("Unsing TFTP upgrade mode to : 192.168.0.1"));
        EXPECT_TRUE(web.exchanges().empty());
    } else if (runs == "none") {
        EXPECT_EQ(window.boxes.back().text, "Could not detect upgrade method !");
        EXPECT_FALSE(window.boxes.back().caption);
        EXPECT_EQ(window.log.back(), "Could not detect upgrade method to 192.168.0.1");
        EXPECT_FALSE(form->StopTimer->running());
    } else if (runs == "FTP") {
        EXPECT_EQ(form->upgradeState, UpgradeState::FtpFinished);
        EXPECT_EQ(ftpServer.stored.size(), 1u);
        EXPECT_THAT(uploads(), ::testing::IsEmpty());
        EXPECT_LT(logged("Unsing FTP upgrade to : 192.168.0.1 success"),
                  static_cast<long>(window.log.size()));
    } else {
        waitForWorker();
        EXPECT_EQ(form->upgradeState, UpgradeState::HttpFinished);
        EXPECT_EQ(uploads().size(), 1u);
        EXPECT_TRUE(ftpServer.stored.empty());
        EXPECT_LT(logged("Unsing HTTP upgrade mode to : 192.168.0.1"), static_cast<long>(window.log.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cells, MethodOrder,
    ::testing::Values(OrderCase{0, 0, "none"}, OrderCase{0, 1, "HTTP"}, OrderCase{0, 2, "FTP"},
                      OrderCase{0, 3, "TFTP"}, OrderCase{1, 0, "TFTP"}, OrderCase{1, 1, "TFTP"},
                      OrderCase{1, 2, "TFTP"}, OrderCase{1, 3, "TFTP"}, OrderCase{2, 0, "HTTP"},
                      OrderCase{2, 0, "FTP", true}, OrderCase{2, 1, "HTTP"}, OrderCase{2, 1, "HTTP", true},
                      OrderCase{2, 2, "FTP"}, OrderCase{2, 3, "TFTP"}, OrderCase{3, 0, "FTP"},
                      OrderCase{3, 1, "HTTP"}, OrderCase{3, 2, "FTP"}, OrderCase{3, 3, "TFTP"}),
    [](const auto& info) {
        return "Method" + std::to_string(info.param.method) + "Order" + std::to_string(info.param.order) +
               (info.param.older ? "Older" : "");
    });

TEST_F(Driver, AnUnattendedRecoveryRunsToItsEndAndTheProgramCloses)
{
    start({"put", "192.168.0.1", "null", "null", (inputs->prefix() + "main.bin")});
    bundle::testing::writeFile(*inputs, "main.bin", bundle::testing::filled(1500));
    lan({{"192.168.0.1", {probe::kCrash}, "VN100"}});
    form->FormActivate();
    EXPECT_EQ(form->upgradeMethod, 1);
    loop.advanceBy(1000); // the first tick starts the upgrade
    EXPECT_EQ(form->upgradeState, UpgradeState::TftpRunning);
    loop.advanceBy(10000);
    EXPECT_EQ(form->upgradeState, UpgradeState::TftpAccepted);
    EXPECT_EQ(device.stored["main.bin"], std::string(1500, 'x'));
    EXPECT_THAT(window.log, Contains("TFTP upgrade section :"));
    EXPECT_TRUE(window.closed());
    EXPECT_EQ(form->exitStatus(), 0);
    EXPECT_EQ(searchWindow.shown, 0); // the program ended: no search after it
}

class Watchdog : public Driver {
protected:
    void tick(int times = 1) { loop.advanceBy(1000 * times); }
};

TEST_F(Watchdog, CountsSecondsWithoutProgressAndEndsTheProgramAtTheLimit)
{
    start();
    form->upgradeState = UpgradeState::TftpRunning;
    form->StopTimer->start();
    tick(39);
    EXPECT_EQ(window.log.back(), "StopCounter : 39");
    EXPECT_FALSE(window.terminated());
    tick();
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf(
                                  "Recover Not Complete. Please Power OFF and Power ON the router then "
                                  "execution program again !!",
                                  "TFTP Upgrade Failure", BoxButtons::Ok)));
    EXPECT_TRUE(window.terminated());
    EXPECT_TRUE(window.released());
    EXPECT_EQ(form->exitStatus(), 1);
}

TEST_F(Watchdog, ALimitOfOneEndsAtTheFirstCountingTickWithTheBoxOfTheMethod)
{
    start();
    form->timeOutTicks = 1;
    form->upgradeState = UpgradeState::FtpRunning;
    form->StopTimer->start();
    tick();
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Upgrade Abnormal Terminate and Please ReRun the program to "
                                         "ReUpgrade",
                                         "FTP Upgrade Failure", BoxButtons::Ok)));
    EXPECT_THAT(window.log, Not(Contains("StopCounter : 1")));
}

TEST_F(Watchdog, UpgradeWithoutFilesLetsTheCounterRunToASilentEnd)
{
    start();
    device1(0, 1);
    form->fileList.add("/fw/a.bin", 0x080D, 1); // listed, but no file field and no preset
    form->UpgradeClick();
    EXPECT_EQ(window.boxes.back().text, "Upgrade file Not select, please select a upgrade file !");
    tick(2);
    EXPECT_EQ(window.log.back(), "StopCounter : 2");
    tick(38);
    EXPECT_EQ(window.boxes.size(), 1u); // no state of a run: no box at the end
    EXPECT_TRUE(window.terminated());
    EXPECT_EQ(form->exitStatus(), 1);
}

struct EndCodeCase {
    std::uint16_t code;
    std::uint8_t attended;
    std::int16_t state;
    bool timerRuns, closed;
    std::vector<std::string> boxes;
    friend void PrintTo(const EndCodeCase& c, std::ostream* os) { *os << c.code << "/" << int{c.attended}; }
};

class EndCodes : public Watchdog, public ::testing::WithParamInterface<EndCodeCase> {};

TEST_P(EndCodes, AreHandledOnceAtTheNextTick)
{
    const EndCodeCase& c = GetParam();
    {
        start();
        form->attended = c.attended;
        form->upgradeState = c.state;
        form->stopCounter = c.code;
        form->StopTimer->start();
        tick();
        const std::string label = std::to_string(c.code) + "/" + std::to_string(c.attended);
        EXPECT_EQ(form->StopTimer->running(), c.timerRuns) << label;
        EXPECT_EQ(window.closed(), c.closed) << label;
        std::vector<std::string> boxes;
        for (const auto& b : window.boxes) boxes.push_back(b.text);
        EXPECT_EQ(boxes, c.boxes) << label;
        if (c.timerRuns) {
            EXPECT_EQ(form->stopCounter, c.code) << label; // only read, never counted on
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, EndCodes,
    ::testing::Values(EndCodeCase{122, 0, 122, true, false, {}}, EndCodeCase{123, 0, 123, true, false, {}},
                      EndCodeCase{1001, 0, 12, true, false, {}}, EndCodeCase{124, 0, 122, false, true, {}},
                      EndCodeCase{124, 1, 122, false, false, {}},
                      EndCodeCase{1002, 1, 13, false, false, {"Incorrect upgrade file. Please check again!"}},
                      EndCodeCase{1002, 0, 13, false, true, {"Upgrade Not Success, Please Run Again !"}},
                      EndCodeCase{1000, 0, 12, false, true, {}},
                      EndCodeCase{1000, 1, 12, false, false, {"Recover Complete !"}}),
    [](const auto& info) {
        return "Code" + std::to_string(info.param.code) + (info.param.attended ? "Attended" : "Unattended");
    });

TEST_F(Watchdog, ARecoveryInAnAttendedRunChecksTheSectionsAndSearchesAgain)
{
    start();
    form->attended = 1;
    form->sectionCheck = 1;
    form->sectionList = "AB";
    tftpForm->sectionLetters = "A";
    form->stopCounter = 1000;
    form->StopTimer->start();
    tick();
    EXPECT_THAT(window.log, Contains("TFTP upgrade section :A"));
    ASSERT_EQ(window.boxes.size(), 2u);
    EXPECT_EQ(window.boxes[1], messageBoxOf("Upgrade Not complete, please click Upgrade button again !",
                                            "Upgrade Again", BoxButtons::Ok));
    EXPECT_EQ(searchWindow.shown, 1);
}

} // namespace
