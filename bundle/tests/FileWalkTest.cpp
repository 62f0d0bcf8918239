// The file walk of the three methods over small file lists, line by line.
#include "bundle/FileWalk.h"
#include "bundle/tests/BundleFixtures.h"
#include "platform/testing/ScriptedWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using namespace bundle::testing;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

struct Shown {
    std::uint16_t attribute;
    int mode;
    std::string module;
    std::string path;
    std::string text;
    bool operator==(const Shown&) const = default;
};

class Walk : public ::testing::Test {
protected:
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-walk-");
    EmbedFileRows list;
    fw::ScriptedWindow window;
    std::vector<Shown> shown;
    bool showFails = false;

    // Adds a row whose file exists with `size` bytes (or is missing when size is -1).
    std::string row(const std::string& name, std::uint16_t attribute, int size = 4)
    {
        const std::string path = dir->prefix() + name;
        if (size >= 0) writeFile(*dir, name, filled(static_cast<std::size_t>(size)));
        list.add(path, attribute, 1);
        return path;
    }
    FileWalk walk(WalkMethod method)
    {
        return FileWalk{method, list, window, window,
                        [this](std::uint16_t attribute, std::span<const std::byte> bytes, int mode,
                               const std::string& module, const std::string& path) {
                            if (showFails) throw std::runtime_error{"cannot show"};
                            shown.push_back(
                                {attribute, mode, module, path,
                                 std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size())});
                        }};
    }
    // Every row a method chooses, calling the walk as the methods do.
    std::vector<int> chosen(WalkMethod method, const std::string& module, WalkProgress& progress)
    {
        FileWalk w = walk(method);
        std::vector<int> rows;
        for (int start = 0;;) {
            progress.currentIndex = static_cast<std::int16_t>(start);
            const int result = w.next(start, true, module, progress);
            if (result < 0 || result >= kWalkNothingFurther) break;
            rows.push_back(result);
            start = result + 1;
        }
        return rows;
    }
};

TEST_F(Walk, TftpOverTheProgramCopySettingsAndTwoImages)
{
    list.add(dir->prefix() + "fwupgrade.tmp", 0, 0);
    row("control.cfg.tmp", 0x1000);
    const std::string image = row("a.bin.tmp", 0x080D);
    row("b.bin.tmp", 0x080D);
    WalkProgress progress;
    EXPECT_EQ(walk(WalkMethod::Tftp).next(0, true, "XY", progress), 2);
    EXPECT_THAT(window.log,
                ElementsAre("File Attribute : 0", "File Attribute : 4096", "Unknow File Attribute -> 4096",
                            "File Attribute : 2061", "Put Upgrade File without IDCheck >>" + image));
    EXPECT_EQ(progress.putCount, 1);
}

TEST_F(Walk, HttpWritesItsCountAndRowLinesAndASilentCallOnlyTheOwnBitLine)
{
    list.add(dir->prefix() + "fwupgrade.tmp", 0, 0);
    const std::string tftpOnly = row("boot.bin.tmp", 0x0809);
    const std::string image = row("a.bin.tmp", 0x080D);
    WalkProgress progress;
    progress.currentIndex = 0;
    FileWalk w = walk(WalkMethod::Http);
    EXPECT_EQ(w.next(0, true, "XY", progress), 2);
    EXPECT_THAT(window.log,
                ElementsAre("File Count : 3", "i= 0", "File Attribute : 0", "i= 1", "File Attribute : 2057",
                            "Ignore Upgrade File for Normal check disable >>" + tftpOnly, "i= 2",
                            "File Attribute : 2061", "Put Upgrade File without IDCheck >>" + image));
    window.log.clear();
    EXPECT_EQ(w.lookAhead(0, "XY", progress), 2);
    EXPECT_THAT(window.log, ElementsAre("Ignore Upgrade File for Normal check disable >>" + tftpOnly));
}

struct ChoiceCase {
    const char* label;
    std::vector<std::pair<std::string, std::uint16_t>> rows;
    WalkMethod method;
    std::string module;
    std::vector<int> chosen;
    std::string sections;
    friend void PrintTo(const ChoiceCase& c, std::ostream* os) { *os << c.label; }
};

class WalkChoices : public Walk, public ::testing::WithParamInterface<ChoiceCase> {};

TEST_P(WalkChoices, ChooseTheImagesThatFit)
{
    for (const auto& [name, attribute] : GetParam().rows) row(name, attribute);
    WalkProgress progress;
    EXPECT_EQ(chosen(GetParam().method, GetParam().module, progress), GetParam().chosen);
    EXPECT_EQ(progress.sectionLetters, GetParam().sections);
}

INSTANTIATE_TEST_SUITE_P(Lists, WalkChoices,
                         ::testing::Values(ChoiceCase{"ModuleImageCancelsTheLaterDefault",
                                                      {{"abc_main.bin", 0x080E}, {"all.bin", 0x080F}},
                                                      WalkMethod::Ftp,
                                                      "ABC",
                                                      {0},
                                                      ""},
                                           ChoiceCase{"OtherModuleTakesTheDefault",
                                                      {{"abc_main.bin", 0x080E}, {"all.bin", 0x080F}},
                                                      WalkMethod::Ftp,
                                                      "XYZ",
                                                      {1},
                                                      ""},
                                           ChoiceCase{"TwoModuleImagesCancelOnlyOneDefault",
                                                      {{"abc_1.bin", 0x080E},
                                                       {"abc_2.bin", 0x080E},
                                                       {"all_1.bin", 0x080F},
                                                       {"all_2.bin", 0x080F}},
                                                      WalkMethod::Tftp,
                                                      "abc",
                                                      {0, 1, 3},
                                                      ""},
                                           ChoiceCase{"ADefaultWithoutIdCheckIsAlwaysSent",
                                                      {{"abc.bin", 0x080E}, {"any.bin", 0x080D}},
                                                      WalkMethod::Http,
                                                      "ABC",
                                                      {0, 1},
                                                      ""},
                                           ChoiceCase{"AnEmptyModuleNameMatchesEveryImage",
                                                      {{"abc.bin", 0x080E}, {"xyz.bin", 0x080E}},
                                                      WalkMethod::Tftp,
                                                      "",
                                                      {0, 1},
                                                      ""},
                                           ChoiceCase{"AModuleLongerThanTheNameNeverMatches",
                                                      {{"ab.bin", 0x080E}},
                                                      WalkMethod::Tftp,
                                                      "ab.bin.tmp.x",
                                                      {},
                                                      ""},
                                           ChoiceCase{"TftpOnlyImageIsSkippedByHttpAndFtp",
                                                      {{"boot.bin", 0x0809}, {"a.bin", 0x080D}},
                                                      WalkMethod::Ftp,
                                                      "",
                                                      {1},
                                                      ""},
                                           ChoiceCase{"TftpOnlyImageIsSentByTftp",
                                                      {{"boot.bin", 0x0809}, {"a.bin", 0x080D}},
                                                      WalkMethod::Tftp,
                                                      "",
                                                      {0, 1},
                                                      ""},
                                           ChoiceCase{"SectionsTwoTwoFourteen",
                                                      {{"a", 0x082D}, {"b", 0x082D}, {"c", 0x08ED}},
                                                      WalkMethod::Tftp,
                                                      "",
                                                      {0, 1, 2},
                                                      "BT"},
                                           ChoiceCase{"SectionsOneFourteenFifteen",
                                                      {{"a", 0x081D}, {"b", 0x08ED}, {"c", 0x08FD}},
                                                      WalkMethod::Http,
                                                      "",
                                                      {0, 1, 2},
                                                      "ATX"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(Walk, ModuleMatchAndDefaultIgnoreLines)
{
    const std::string module = row("abc_main.bin", 0x080E);
    const std::string all = row("all.bin", 0x080F);
    FileWalk w = walk(WalkMethod::Tftp);
    WalkProgress progress;
    EXPECT_EQ(w.next(0, true, "ABC", progress), 0);
    EXPECT_EQ(w.next(1, true, "ABC", progress), kWalkNothingFurther);
    EXPECT_THAT(window.log, ElementsAre("File Attribute : 2062", "Put Upgrade File >>" + module,
                                        "File Attribute : 2063", "Default Upgrade File Ignore >>" + all));
    window.log.clear();
    WalkProgress other;
    EXPECT_EQ(w.next(0, true, "XYZ", other), 1);
    EXPECT_THAT(window.log,
                ElementsAre("File Attribute : 2062", "Module name different. Ignore Upgrade File >>" + module,
                            "File Attribute : 2063", "Put Default Upgrade File >>" + all));
}

TEST_F(Walk, HttpTestsItsBitOnlyForRowsWithAModelCheck)
{
    const std::string plain = row("plain.bin", 0x0800); // an image with neither check nor method bit
    WalkProgress progress;
    progress.currentIndex = 0;
    walk(WalkMethod::Http).next(0, true, "", progress);
    EXPECT_THAT(window.log, ::testing::Contains("Unkown Attribute. Ignore Upgrade File >>" + plain));
    window.log.clear();
    walk(WalkMethod::Ftp).next(0, true, "", progress);
    EXPECT_THAT(window.log, ::testing::Contains("Ignore Upgrade File for Normal check disable >>" + plain));
}

TEST_F(Walk, NothingToSendAtAll)
{
    row("control.cfg", 0x1000);
    WalkProgress http;
    http.currentIndex = 0;
    FileWalk httpWalk = walk(WalkMethod::Http);
    EXPECT_EQ(httpWalk.next(0, true, "", http), kWalkNothingAtAll);
    EXPECT_EQ(httpWalk.resultText(), "ignore all files error");
    WalkProgress tftp;
    FileWalk tftpWalk = walk(WalkMethod::Tftp);
    EXPECT_EQ(tftpWalk.next(0, true, "", tftp), kWalkNothingAtAll);
    EXPECT_EQ(tftpWalk.resultText(), "");
    // After a first file, nothing further is 1001 (TFTP needs a chosen file for that).
    tftp.putCount = 1;
    EXPECT_EQ(tftpWalk.next(1, true, "", tftp), kWalkNothingFurther);
    http.currentIndex = 1;
    EXPECT_EQ(httpWalk.next(1, true, "", http), kWalkNothingFurther);
}

TEST_F(Walk, MessageFilesAreShownInTheMethodsModeAndPassedOverSilently)
{
    const std::string note = row("abc_note", 0x0401, -1);
    writeFile(*dir, "abc_note", bytesOf("the message"));
    const std::string image = row("a.bin", 0x080D);
    WalkProgress progress;
    EXPECT_EQ(walk(WalkMethod::Tftp).next(0, true, "ABC", progress), 1);
    EXPECT_THAT(shown, ElementsAre(Shown{0x0401, kTftpMode, "ABC", note, "the message"}));
    EXPECT_THAT(window.log,
                ElementsAre("File Attribute : 1025", "Show Message to User : " + note,
                            "File Attribute : 2061", "Put Upgrade File without IDCheck >>" + image));
    shown.clear();
    progress.currentIndex = 0;
    FileWalk http = walk(WalkMethod::Http);
    EXPECT_EQ(http.lookAhead(0, "ABC", progress), 1);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(http.next(0, true, "ABC", progress), 1);
    EXPECT_EQ(shown.at(0).mode, kFtpMode);
}

TEST_F(Walk, AMessageFileThatCannotBeOpenedEndsTheWalk)
{
    const std::string missing = row("gone", 0x0401, -1);
    row("a.bin", 0x080D);
    WalkProgress progress;
    progress.currentIndex = 0;
    FileWalk http = walk(WalkMethod::Http);
    EXPECT_EQ(http.next(0, true, "", progress), kWalkMessageUnreadable);
    EXPECT_EQ(window.log.back(), "Message file onen error : " + missing);
    EXPECT_EQ(http.resultText(), "Message file onen error : " + missing);
    EXPECT_EQ(walk(WalkMethod::Ftp).next(0, true, "", progress), kWalkMessageUnreadable);
}

TEST_F(Walk, AMessageThatCannotBeShownIsReportedAndTheWalkGoesOn)
{
    row("note", 0x0401);
    row("a.bin", 0x080D);
    showFails = true;
    WalkProgress progress;
    EXPECT_EQ(walk(WalkMethod::Tftp).next(0, true, "", progress), 1);
    EXPECT_THAT(window.boxes, ElementsAre(fw::messageBoxOf("Show and Msg File read error", "File Error",
                                                           fw::BoxButtons::OkCancel)));
}

TEST_F(Walk, TheLookAheadLeavesTheModuleMatchAsItWas)
{
    row("abc.bin", 0x080E);
    row("all.bin", 0x080F);
    WalkProgress progress;
    progress.currentIndex = 0;
    FileWalk http = walk(WalkMethod::Http);
    EXPECT_EQ(http.next(0, true, "ABC", progress), 0);
    EXPECT_TRUE(progress.moduleMatched);
    EXPECT_EQ(http.lookAhead(1, "ABC", progress), kWalkNothingFurther);
    EXPECT_TRUE(progress.moduleMatched);
}

TEST_F(Walk, TheLengthPassCountsWhatTheWalkWillChoose)
{
    row("abc.bin", 0x080E, 100);
    row("all.bin", 0x080F, 1000); // cancelled by the module image
    row("any.bin", 0x080D, 10);
    row("boot.bin", 0x0809, 5); // TFTP only
    row("note", 0x0401, 7);
    WalkProgress progress;
    EXPECT_EQ(walk(WalkMethod::Ftp).length("ABC", progress), 110);
    EXPECT_EQ(window.log.back(), "Upgrade File Length : 110");
    EXPECT_EQ(walk(WalkMethod::Tftp).length("ABC", progress), 115);
    EXPECT_EQ(walk(WalkMethod::Http).length("XYZ", progress), 1010);
    EXPECT_TRUE(shown.empty());
}

TEST_F(Walk, ALengthThatCannotBeFoundFailsThePass)
{
    const std::string missing = row("gone.bin", 0x080D, -1);
    WalkProgress progress;
    FileWalk ftp = walk(WalkMethod::Ftp);
    EXPECT_EQ(ftp.length("", progress), -1);
    EXPECT_EQ(ftp.resultText(), "File Seek error : " + missing);
    window.log.clear();
    EXPECT_EQ(walk(WalkMethod::Tftp).length("", progress), -1);
    EXPECT_THAT(window.log, ElementsAre("File Seek error : " + missing));
}

} // namespace
