// Browse, the field handlers, Exit with the close protection, and the service keys.
#include "app/tests/AppFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::ElementsAre;

TEST_F(AppFixture, BrowseTakesTheChosenFilesInOrder)
{
    create();
    window.nextChosenFiles = std::vector<std::string>{"/fw/b.bin", "/fw/a.bin"};
    form->BrowseClick();
    EXPECT_EQ(window.chooserFilter, "(BIN Files)|*.bin|(EXE Files)|*.exe|(All Files)|*.*");
    ASSERT_EQ(form->fileList.count, 2);
    EXPECT_EQ(form->fileList.paths[0], "/fw/b.bin");
    EXPECT_EQ(form->fileList.attributes[1], 0x080D);
    EXPECT_EQ(window.text(MainControl::UpdateFileName), "/fw/b.bin; /fw/a.bin; ");
    EXPECT_TRUE(window.enabled(MainControl::Upgrade));

    form->BrowseClick(); // cancelled: nothing changes
    EXPECT_EQ(form->fileList.count, 2);
}

TEST_F(AppFixture, BrowseKeepsSixtyFourFilesAndSaysSo)
{
    create();
    std::vector<std::string> files;
    for (int i = 0; i < 70; ++i) files.push_back("/fw/f" + std::to_string(i) + ".bin");
    window.nextChosenFiles = files;
    form->BrowseClick();
    EXPECT_EQ(form->fileList.count, 64);
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].caption, "Too many upgrade files");
}

TEST_F(AppFixture, TheFieldHandlersRunOnEveryChangeOnceTheWindowIsShown)
{
    create();
    window.setText(MainControl::PasswordComBox, "secret");
    EXPECT_TRUE(window.enabled(MainControl::Upgrade));
    EXPECT_EQ(window.status(), "Confirm your password and press Upgrade button to upgrade");
    window.statuses.clear();
    window.setText(MainControl::PasswordComBox, "secret"); // the same text is no change
    EXPECT_TRUE(window.statuses.empty());
    window.setText(MainControl::UserIDComBox, "root");
    EXPECT_EQ(window.statuses.size(), 1u);
}

struct ExitCase {
    const char* label;
    std::int16_t state;
    std::vector<fw::ShownBox> boxes;
    bool closed;
    friend void PrintTo(const ExitCase& c, std::ostream* os) { *os << c.label; }
};

class ExitButton : public AppFixture, public ::testing::WithParamInterface<ExitCase> {};

TEST_P(ExitButton, ClosesUnlessAnUpgradeRuns)
{
    create();
    form->upgradeState = GetParam().state;
    const auto before = loop.nowMs();
    form->ExitClick();
    EXPECT_EQ(window.boxes, GetParam().boxes);
    EXPECT_EQ(window.closed(), GetParam().closed);
    if (!GetParam().closed) {
        EXPECT_TRUE(window.enabled(MainControl::Exit));
        EXPECT_EQ(loop.nowMs() - before, 300);
        EXPECT_TRUE(form->StopTimer->running());
        EXPECT_EQ(form->exitConfirmed, 0);
    } else {
        EXPECT_FALSE(form->bundle); // closing removed the temporary files
    }
}

const fw::ShownBox kRunning = messageBoxOf("Don't Exit Upgrade Program When upgrade Not Complete !",
                                           "Upgrade Not Complete", BoxButtons::Ok);
const fw::ShownBox kFailed =
    messageBoxOf("Upgrade Not Success, Please Run Again !", "Upgrade Failure", BoxButtons::Ok);

INSTANTIATE_TEST_SUITE_P(States, ExitButton,
                         ::testing::Values(ExitCase{"TftpRunning", 11, {kRunning}, false},
                                           ExitCase{"HttpRunning", 121, {kRunning}, false},
                                           ExitCase{"FtpRunning", 131, {kRunning}, false},
                                           ExitCase{"HttpFailed", 123, {kFailed}, true},
                                           ExitCase{"FtpFailedState", 133, {kFailed}, true},
                                           ExitCase{"TftpFinished", 12, {}, true},
                                           ExitCase{"NoUpgrade", 0, {}, true}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(AppFixture, TheCloseBoxDuringAnUpgradeAsksAndCancelKeepsTheWindow)
{
    create();
    form->upgradeState = UpgradeState::HttpRunning;
    window.answerNextBoxesWith({fw::kAnswerCancel});
    window.closeWindow();
    EXPECT_FALSE(window.closed());
    EXPECT_TRUE(form->StopTimer->running()); // started again, though it was stopped before
    EXPECT_THAT(window.boxes,
                ElementsAre(messageBoxOf("Upgrade Not complete, Do you really want to exit program ?",
                                         "Upgrade Warning", BoxButtons::OkCancel)));
    window.closeWindow(); // OK this time
    EXPECT_TRUE(window.closed());
    EXPECT_TRUE(window.terminated());
}

TEST_F(AppFixture, TheCloseBoxAfterAFailureWarnsAndCloses)
{
    create();
    form->upgradeState = UpgradeState::TftpRefused;
    window.closeWindow();
    EXPECT_TRUE(window.closed());
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Upgrade Not success, please Run again !",
                                                       "Upgrade Warning", BoxButtons::Ok)));
}

TEST_F(AppFixture, ServiceKeysNeedAltAndTheirLogState)
{
    create();
    form->ArrangeLayout(4);
    form->ExitKeyDown(9, false);
    EXPECT_FALSE(window.visible(MainControl::GSystemLog));
    form->ExitKeyDown(9, true); // log on
    EXPECT_TRUE(window.visible(MainControl::GSystemLog));
    EXPECT_EQ(form->logShown, 1);
    EXPECT_EQ(form->listDetail, 222);
    form->StopTimer->start();
    form->ExitKeyDown(12, true); // stop timer
    EXPECT_FALSE(form->StopTimer->running());
    form->ExitKeyDown(10, true); // log off
    EXPECT_FALSE(window.visible(MainControl::GSystemLog));
    EXPECT_EQ(form->listDetail, 111);
    form->filesPreset = 1;
    form->ExitKeyDown(11, true); // all panels
    EXPECT_TRUE(window.visible(MainControl::PasswordGroup));
    EXPECT_TRUE(window.visible(MainControl::UpgreadFileGroup));
    EXPECT_EQ(form->filesPreset, 0);
    EXPECT_EQ(window.windowHeight(), 359);
}

} // namespace
