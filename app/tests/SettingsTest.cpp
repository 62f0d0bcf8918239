// control.cfg read from the bundle and applied.
#include "app/tests/AppFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using discovery::testing::SimDevice;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

class Settings : public AppFixture {
protected:
    int apply(const SettingsRecord& s, int images = 1)
    {
        create({}, programWith(s, images));
        window.log.clear();
        return form->ApplyControlSettings();
    }
};

TEST_F(Settings, AppliesEveryFieldWithItsLogLines)
{
    SettingsRecord s;
    s.text(s.record.dstIP, "192.168.0.1").text(s.record.passWd, "secret").text(s.record.romID, "R7");
    s.record.method = 4;
    s.record.flags = 0x9F | 0x40;
    s.record.timeOut = 0x0A;
    s.record.methodOrder = 2;
    lan({{"192.168.0.1", {probe::kNormal}}});
    EXPECT_EQ(apply(s), 3);
    EXPECT_THAT(window.log,
                ElementsAre("Set DstIP = 192.168.0.1", "Set PassWd = secret", "Set ROMID = R7",
                            "Set Time out value to : 10", "FTP upgrade method first used.",
                            "Program release to User", "Enabled Section ID check.", "Total section list : "));
    EXPECT_EQ(window.text(MainControl::IPComBox), "192.168.0.1");
    EXPECT_EQ(window.text(MainControl::PasswordComBox), "secret");
    EXPECT_EQ(form->timeOutTicks, 10);
    EXPECT_EQ(form->orderPreset, 1);
    EXPECT_EQ(form->sectionCheck, 1);
    EXPECT_EQ(refresh->searchRomID, "R7");
    EXPECT_EQ(refresh->deviceList.count, 1); // the address was probed
}

struct ResultCase {
    const char* label;
    std::uint8_t method;
    std::string dstIP;
    std::string initFile;
    int images;
    int result;
    friend void PrintTo(const ResultCase& c, std::ostream* os) { *os << c.label; }
};

class SettingsResult : public Settings, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(SettingsResult, TellsTheActivationHowToStart)
{
    SettingsRecord s;
    s.text(s.record.dstIP, GetParam().dstIP).text(s.record.initFile, GetParam().initFile);
    s.record.method = GetParam().method;
    EXPECT_EQ(apply(s, GetParam().images), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Methods, SettingsResult,
                         ::testing::Values(ResultCase{"PutWithEmbeddedImages", 2, "10.0.0.1", "", 1, 1},
                                           ResultCase{"PutWithoutImagesIsInteractive", 2, "10.0.0.1", "", 0,
                                                      3},
                                           ResultCase{"PutWithoutADevice", 2, "", "", 1, 0},
                                           ResultCase{"PutWithAFile", 2, "10.0.0.1", "/fw/a.bin", 0, 1},
                                           ResultCase{"PutWithAFileButNoDevice", 2, "", "/fw/a.bin", 0, 0},
                                           ResultCase{"Set", 4, "", "", 1, 3},
                                           ResultCase{"GetWithAFileName", 1, "10.0.0.1", "rom.bin", 0, 2},
                                           ResultCase{"GetWithoutAFileName", 1, "10.0.0.1", "", 0, 0},
                                           ResultCase{"UnsupportedMethod", 9, "10.0.0.1", "", 1, 0}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Settings, APresetFileReplacesTheEmbeddedList)
{
    SettingsRecord s;
    s.text(s.record.initFile, "/fw/Main.BIN");
    s.record.method = 4;
    EXPECT_EQ(apply(s, 2), 3);
    EXPECT_EQ(window.log.back(), "Initial set upgrade file : /fw/Main.BIN ;");
    ASSERT_EQ(form->fileList.count, 1);
    EXPECT_EQ(form->fileList.paths[0], "/fw/Main.BIN");
    EXPECT_EQ(form->fileList.attributes[0], 0x080D);
    EXPECT_EQ(form->filesPreset, 1);
}

TEST_F(Settings, TextsAndValuesAreTakenExactly)
{
    SettingsRecord s;
    s.text(s.record.caption, "Default");
    s.record.timeOut = -1;
    s.record.methodOrder = 7;
    s.record.flags = 0x00;
    s.record.method = 4;
    apply(s);
    EXPECT_EQ(window.caption(), "Default"); // only "default" keeps the caption
    EXPECT_EQ(form->timeOutTicks, 65535);
    EXPECT_THAT(window.log, Contains("Set Time out value to : -1"));
    EXPECT_THAT(window.log, Not(Contains("default sequence of upgrade method used.")));
    EXPECT_THAT(window.log, Contains("Program release to Factory"));
    EXPECT_THAT(window.log, Contains("Disnabled Section ID check."));
    EXPECT_EQ(form->factoryRelease, 1);
    EXPECT_EQ(refresh->searchFlags, 0x00);
}

TEST_F(Settings, AnUnsupportedMethodIsReportedAndTheStartIsInteractive)
{
    SettingsRecord s;
    s.record.method = 'Z';
    EXPECT_EQ(apply(s), 0);
    EXPECT_EQ(window.boxes.back().text, "Not Support Method Error");
    EXPECT_EQ(window.boxes.back().caption, "Function Waring");
    EXPECT_EQ(window.log.back(), "Not Support Method : Z");
}

TEST_F(Settings, AFieldWithoutItsZeroByteEndsWithTheField)
{
    SettingsRecord s;
    std::memset(s.record.dstIP, '7', sizeof s.record.dstIP); // runs into passWd without a zero byte
    s.text(s.record.passWd, "pw");
    s.record.method = 4;
    apply(s);
    EXPECT_EQ(window.log.front(), "Set DstIP = " + std::string(18, '7'));
}

TEST_F(Settings, AShortFileKeepsTheDefaultsOfItsMissingTail)
{
    SettingsRecord s;
    s.text(s.record.dstIP, "10.0.0.3");
    auto bytes = s.bytes();
    bytes.resize(40); // up to the start of initFile
    create({}, bundle::composeBundle(
                   bundle::testing::filled(8),
                   std::vector<bundle::BundleRecord>{{"control.cfg", Attribute::Control_File, bytes}}));
    form->ApplyControlSettings();
    EXPECT_EQ(form->settings.record.flags, 0x9F);
    EXPECT_EQ(window.text(MainControl::IPComBox), "10.0.0.3");
}

TEST_F(Settings, NoSettingsFileChangesNothing)
{
    create();
    window.log.clear();
    EXPECT_EQ(form->ApplyControlSettings(), 0);
    EXPECT_TRUE(window.log.empty());
    EXPECT_EQ(form->timeOutTicks, 40);
}

TEST_F(Settings, AFileThatCannotBeReadEndsWithItsBox)
{
    SettingsRecord s;
    create({}, programWith(s, 0));
    const std::string path = form->fileList.paths[1];
    fw::removeFile(path);
    EXPECT_EQ(form->ApplyControlSettings(), -1);
    EXPECT_EQ(window.boxes.back().text, "Read file : " + path + " error!");
    EXPECT_EQ(window.boxes.back().caption, "Function Error");
}

} // namespace
