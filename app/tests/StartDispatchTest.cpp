// The activation step: command-line starts and the settings' five results.
#include "app/tests/AppFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using discovery::testing::SimDevice;
using ::testing::Contains;

TEST_F(AppFixture, ACommandLinePutProbesSelectsAndArmsTheTimerKeepingThePassword)
{
    lan({{"10.0.0.1", {probe::kNormal}}});
    create({"put", "10.0.0.1", "secret", "RID", "/fw/a.bin", "log"});
    form->FormActivate();
    EXPECT_EQ(refresh->searchRomID, "RID");
    EXPECT_EQ(window.text(MainControl::IPComBox), "10.0.0.1");
    EXPECT_EQ(window.text(MainControl::PasswordComBox), "secret");
    EXPECT_EQ(form->upgradeMethod, 2);
    EXPECT_EQ(form->autoUpgrade, 1);
    EXPECT_EQ(form->attended, 0);
    EXPECT_TRUE(form->StopTimer->running());
    EXPECT_EQ(form->logShown, 1);
    EXPECT_EQ(form->listDetail, 222);
    EXPECT_EQ(window.entryLines(), std::vector<std::string>{"10.0.0.1"}); // the first fill is brief
    EXPECT_EQ(form->settings.paramMode, 0);
}

TEST_F(AppFixture, ACommandLineSetArmsNothing)
{
    create({"set", "null", "null", "null"});
    form->FormActivate();
    EXPECT_FALSE(form->StopTimer->running());
    EXPECT_EQ(form->attended, 0);
    EXPECT_EQ(searchWindow.shown, 0);
}

TEST_F(AppFixture, WithoutSettingsTheStartIsInteractiveAndSearches)
{
    lan({{"192.168.0.1", {probe::kNormal}}});
    create();
    form->FormActivate();
    EXPECT_EQ(form->attended, 1);
    EXPECT_EQ(searchWindow.shown, 1);
    EXPECT_EQ(window.text(MainControl::IPComBox), "192.168.0.1");
}

TEST_F(AppFixture, ASetStartWithAFoundDeviceSelectsItWithoutASearch)
{
    lan({{"10.0.0.4", {probe::kNormal}}});
    SettingsRecord s;
    s.text(s.record.dstIP, "10.0.0.4").text(s.record.passWd, "pw");
    s.record.method = 4;
    create({}, programWith(s, 1));
    form->FormActivate();
    EXPECT_EQ(searchWindow.shown, 0);
    EXPECT_EQ(window.text(MainControl::IPComBox), "10.0.0.4");
    EXPECT_EQ(window.text(MainControl::PasswordComBox), "pw"); // the settings' password is kept
    EXPECT_EQ(form->upgradeMethod, 2);
    EXPECT_EQ(form->attended, 1);
}

TEST_F(AppFixture, ASetStartWhoseDeviceIsNotFoundSearches)
{
    SettingsRecord s;
    s.text(s.record.dstIP, "10.0.0.4");
    s.record.method = 4;
    create({}, programWith(s, 1));
    form->FormActivate();
    EXPECT_EQ(searchWindow.shown, 1);
}

TEST_F(AppFixture, SettingsPutAndGetArmTheTimer)
{
    SettingsRecord put;
    put.text(put.record.dstIP, "10.0.0.4");
    put.record.method = 2;
    create({}, programWith(put, 1));
    form->FormActivate();
    EXPECT_EQ(form->autoUpgrade, 1);
    EXPECT_TRUE(form->StopTimer->running());

    SettingsRecord get;
    copyToField(get.record.initFile, 32, "rom.bin");
    get.record.method = 1;
    create({}, programWith(get, 0));
    form->FormActivate();
    EXPECT_EQ(window.caption(), "Device ROM data download V1.1.0");
    EXPECT_EQ(form->settings.getPending, 1);
    EXPECT_TRUE(form->StopTimer->running());
}

TEST_F(AppFixture, UnreadableSettingsEndTheProgram)
{
    create({}, programWith(SettingsRecord{}, 0));
    fw::removeFile(form->fileList.paths[1]);
    form->FormActivate();
    EXPECT_TRUE(window.released());
}

TEST_F(AppFixture, AnAutomaticStartWithoutADeviceSearchesAtTheFirstTick)
{
    create({"put", "null", "null", "null"});
    form->FormActivate();
    loop.advanceBy(1000);
    EXPECT_FALSE(form->StopTimer->running());
    EXPECT_EQ(searchWindow.shown, 1);
    EXPECT_EQ(form->autoUpgrade, 0);
    EXPECT_EQ(form->settings.putPending, 0);
}

} // namespace
