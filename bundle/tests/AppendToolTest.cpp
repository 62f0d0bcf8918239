// The reader against whole bundled files: what it extracts, lists, reports and leaves behind.
#include "bundle/Appendtool.h"
#include "bundle/tests/BundleFixtures.h"
#include "platform/testing/ScriptedWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>

namespace {

using namespace bundle;
using namespace bundle::testing;
using fw::BoxButtons;
using fw::messageBoxOf;
using ::testing::ElementsAre;

class AppendTool : public ::testing::Test {
protected:
    // The reader writes into its own directory; the test's inputs live in another.
    std::optional<fw::TempDir> inputs = fw::TempDir::create("fwtest-in-");
    std::optional<fw::TempDir> temp = fw::TempDir::create("fwtest-tmp-");
    fw::ScriptedWindow window;
    std::optional<appendTool> tool{std::in_place, temp->prefix(), &window};

    std::string program(std::span<const std::byte> bytes, const std::string& name = "fwupgrade")
    {
        return writeFile(*inputs, name, bytes);
    }
    int read(std::span<const std::byte> bytes) { return tool->ReadinputExeFile(program(bytes)); }
    std::vector<std::string> leftInTemp() { return fw::directoryEntries(temp->path()); }
};

TEST_F(AppendTool, ExtractsEveryRecordAfterTheProgramCopy)
{
    const auto image = filled(64, 'P');
    const std::vector<BundleRecord> records{
        record("main.bin", 0x080D, 100, 'a'), record("control.cfg", Attribute::Control_File, 200, 'b'),
        record("empty.bin", 0x080D, 0), record("keep.txt", Attribute::Keep_Name, 3, 'c'),
        record("hello", 0x0401, 130, 'm')};
    const int result = read(composeBundle(image, records));

    EXPECT_EQ(result, 100 + 200 + 0 + 3 + 130);
    EXPECT_TRUE(window.boxes.empty());
    const auto& list = tool->temporaryFiles();
    ASSERT_EQ(list.count, 6);
    EXPECT_EQ(list.paths[0], temp->prefix() + "fwupgrade.tmp");
    EXPECT_EQ(list.paths[1], temp->prefix() + "main.bin.tmp");
    EXPECT_EQ(list.paths[2], temp->prefix() + "control.cfg.tmp");
    EXPECT_EQ(list.paths[4], temp->prefix() + "keep.txt"); // kept names: no suffix
    EXPECT_EQ(list.paths[5], temp->prefix() + "hello");
    EXPECT_EQ(list.attributes[0], 0);
    EXPECT_EQ(list.kinds[0], 0);
    EXPECT_EQ(list.attributes[2], Attribute::Control_File);
    EXPECT_EQ(list.kinds[5], 1);
    EXPECT_EQ(readText(list.paths[0]), std::string(64, 'P'));
    EXPECT_EQ(readText(list.paths[1]), std::string(100, 'a'));
    EXPECT_EQ(readText(list.paths[3]), "");

    const auto& table = tool->embeddedFiles();
    ASSERT_EQ(table.count, 5);
    EXPECT_EQ(table.names[4], "hello");
    EXPECT_EQ(table.kinds[4], 2); // message file
    EXPECT_EQ(table.kinds[0], 1);
    EXPECT_EQ(table.sizes[1], 200);
    EXPECT_EQ(tool->CountUpgradeFiles(), 2);
}

TEST_F(AppendTool, DestroyingTheReaderDeletesEveryTemporaryFile)
{
    read(composeBundle(filled(8), std::vector<BundleRecord>{record("a", 0x080D, 4), record("b", 0x0400, 4)}));
    EXPECT_EQ(leftInTemp().size(), 3u);
    tool.reset();
    EXPECT_TRUE(leftInTemp().empty());
}

TEST_F(AppendTool, StartMessageHandlerGetsEachMessageRecordWhileReading)
{
    std::vector<std::pair<std::uint16_t, std::string>> seen;
    tool->SetStartMessageHandler([&](std::uint16_t attribute, std::span<const std::byte> bytes) {
        seen.emplace_back(attribute, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    });
    read(composeBundle(filled(8), std::vector<BundleRecord>{record("img", 0x080D, 4),
                                                            record("m1", 0x0403, 3, 'q'),
                                                            {"m2", 0x0D08, bytesOf("two")}}));
    EXPECT_THAT(seen, ElementsAre(std::pair<std::uint16_t, std::string>{0x0403, "qqq"},
                                  std::pair<std::uint16_t, std::string>{0x0D08, "two"}));
}

TEST_F(AppendTool, AFileWithoutBundleIsCopiedWhole)
{
    const auto plain = bytesOf("just a program");
    EXPECT_EQ(read(plain), 0);
    ASSERT_EQ(tool->temporaryFiles().count, 1);
    EXPECT_EQ(readText(tool->temporaryFiles().paths[0]), "just a program");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(AppendTool, OnlyEmptyRecordsGiveZeroButAreListed)
{
    EXPECT_EQ(read(composeBundle(filled(8),
                                 std::vector<BundleRecord>{record("a", 0x080D, 0), record("b", 0x080D, 0)})),
              0);
    EXPECT_EQ(tool->temporaryFiles().count, 3);
}

TEST_F(AppendTool, CountZeroIsABundleWithoutFiles)
{
    const auto file = composeBundle(bytesOf("IMAGE"), std::vector<BundleRecord>{});
    EXPECT_EQ(read(file), 0);
    ASSERT_EQ(tool->temporaryFiles().count, 1);
    EXPECT_EQ(readText(tool->temporaryFiles().paths[0]), "IMAGE"); // the file less its 14-byte trailer
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(AppendTool, AnotherVersionIsRefusedBeforeAnythingIsWritten)
{
    EXPECT_EQ(read(composeBundle(filled(8), std::vector<BundleRecord>{record("a", 0x080D, 4)}, 3)), -2);
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Please change append tool to version V1.23.",
                                                       "Version Not support", BoxButtons::Ok)));
    EXPECT_TRUE(leftInTemp().empty());
}

TEST_F(AppendTool, AProgramThatCannotBeOpenedIsReported)
{
    const std::string missing = inputs->prefix() + "missing";
    EXPECT_EQ(tool->ReadinputExeFile(missing), -1);
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Error to open exeFile : " + missing, "Function Error",
                                                       BoxButtons::YesNoCancel)));
}

TEST_F(AppendTool, MagicWithoutRoomForTheVersionIsAnUnexpectedFailure)
{
    EXPECT_EQ(read(bytesOf(std::string{"abc"} + std::string("tesmora\0", 8))), -1);
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Error to open file in ReadinputExeFile!!!",
                                                       "File Error", BoxButtons::YesNoCancel)));
}

TEST_F(AppendTool, TheSameNameTwiceLeavesTheLaterFile)
{
    read(composeBundle(filled(8),
                       std::vector<BundleRecord>{record("x", 0x080D, 3, 'A'), record("x", 0x080D, 5, 'B')}));
    EXPECT_EQ(readText(temp->prefix() + "x.tmp"), "BBBBB");
    EXPECT_TRUE(window.boxes.empty());
}

TEST_F(AppendTool, SixtyFourRecordsFitAndTheSixtyFifthIsRefused)
{
    std::vector<BundleRecord> records;
    for (int i = 0; i < 64; ++i) records.push_back(record("f" + std::to_string(i), 0x080D, 1));
    EXPECT_EQ(read(composeBundle(filled(8), records)), 64);
    EXPECT_EQ(tool->temporaryFiles().count, 65);

    tool.emplace(temp->prefix(), &window);
    records.push_back(record("f64", 0x080D, 1));
    EXPECT_EQ(read(composeBundle(filled(8), records)), -1);
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Max Add File is 64", "Add AppendFile Error",
                                                       BoxButtons::YesNoCancel)));
    EXPECT_EQ(tool->temporaryFiles().count, 65);
    tool.reset();
    EXPECT_TRUE(leftInTemp().empty());
}

// Malformed bundles: each ends with -1 and one box, and nothing is left once the reader is gone.
struct MalformedCase {
    const char* label;
    friend void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.label; }
    std::function<void(std::vector<std::byte>&)> spoil;
    std::string boxText; // "@" stands for the temporary directory
    std::string caption;
};

class MalformedBundle : public AppendTool, public ::testing::WithParamInterface<MalformedCase> {};

constexpr std::size_t kImage = 16;
constexpr std::size_t kSecondRecord = kImage + kHeaderSize + 4;

const std::string kReadFailure = "Error to open file in read_imbed_file function";

TEST_P(MalformedBundle, FailsWithItsBoxAndLeavesNothingBehind)
{
    auto bytes = composeBundle(
        filled(kImage), std::vector<BundleRecord>{record("first", 0x080D, 4), record("second", 0x080D, 6)});
    GetParam().spoil(bytes);
    EXPECT_EQ(read(bytes), -1);
    std::string text = GetParam().boxText;
    if (const auto at = text.find('@'); at != std::string::npos) text.replace(at, 1, temp->prefix());
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf(text, GetParam().caption, BoxButtons::OkCancel)));
    EXPECT_TRUE(fw::directoryEntries(inputs->path()) ==
                std::vector<std::string>{"fwupgrade"}); // nothing outside
    tool.reset();
    EXPECT_TRUE(leftInTemp().empty());
}

void renameSecond(std::vector<std::byte>& bytes, std::string_view name)
{
    for (int i = 0; i < kNameField; ++i)
        bytes[kSecondRecord + 6 + i] =
            i < static_cast<int>(name.size()) ? static_cast<std::byte>(name[i]) : std::byte{0};
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, MalformedBundle,
    ::testing::Values(
        MalformedCase{"TrailerLongerThanTheFile", [](auto& b) { storeLe16(b, b.size() - 10, 0x7FF0); },
                      kReadFailure, "File Error"},
        MalformedCase{"TrailerLengthNotFourTimesCountPlus14",
                      [](auto& b) { storeLe16(b, b.size() - 10, 23); }, kReadFailure, "File Error"},
        MalformedCase{"OffsetZeroBeforeTheStartOfTheFile",
                      [](auto& b) { storeLe32(b, b.size() - 22, 0x10000); }, kReadFailure, "File Error"},
        MalformedCase{"RecordLengthTwenty", [](auto& b) { storeLe32(b, kSecondRecord, 20); }, kReadFailure,
                      "File Error"},
        MalformedCase{"RecordRunsIntoTheTrailer",
                      [](auto& b) { storeLe32(b, kSecondRecord, kHeaderSize + 7); }, kReadFailure,
                      "File Error"},
        MalformedCase{"RecordRunsPastTheEndOfTheFile",
                      [](auto& b) { storeLe32(b, kSecondRecord, 0x7FFFFFFF); }, kReadFailure, "File Error"},
        MalformedCase{"CountLargerThanTheRecords",
                      [](auto& b) {
                          // Three records claimed, two present: the third header would lie in the trailer.
                          const std::int64_t body = 2 * kHeaderSize + 4 + 6;
                          const std::vector<std::int64_t> starts{0, kHeaderSize + 4, body};
                          b.erase(b.end() - trailerLengthFor(2), b.end());
                          const auto trailer = encodeTrailer(starts, body);
                          b.insert(b.end(), trailer.begin(), trailer.end());
                      },
                      kReadFailure, "File Error"},
        MalformedCase{"EmptyName", [](auto& b) { renameSecond(b, ""); }, "File create error @.tmp",
                      "File create error"},
        MalformedCase{"DotName", [](auto& b) { renameSecond(b, "."); }, "File create error @..tmp",
                      "File create error"},
        MalformedCase{"DotDotName", [](auto& b) { renameSecond(b, ".."); }, "File create error @...tmp",
                      "File create error"},
        MalformedCase{"NameWithASlash", [](auto& b) { renameSecond(b, "../fwupgrade"); },
                      "File create error @../fwupgrade.tmp", "File create error"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AppendTool, ListsTwoLinesPerFileWithTheAttributeAsASignedNumber)
{
    read(composeBundle(filled(8), std::vector<BundleRecord>{record("a", 0x080D, 1), record("b", 0x8000, 1)}));
    fw::ScriptedWindow log;
    EXPECT_EQ(tool->ListEmbedFiles(log), 3);
    EXPECT_THAT(log.log,
                ElementsAre("Imbed file 0 : " + temp->prefix() + "fwupgrade.tmp", "Imbed File Attrib : 0",
                            "Imbed file 1 : " + temp->prefix() + "a.tmp", "Imbed File Attrib : 2061",
                            "Imbed file 2 : " + temp->prefix() + "b.tmp", "Imbed File Attrib : -32768"));
}

TEST_F(AppendTool, SectionListKeepsTheOrderOfFirstAppearance)
{
    std::vector<BundleRecord> records;
    for (const int section : {0, 2, 14, 2, 15, 1})
        records.push_back(record("s" + std::to_string(records.size()),
                                 static_cast<std::uint16_t>(0x0800 | section << 4), 1));
    read(composeBundle(filled(8), records));
    EXPECT_EQ(tool->SectionList(), "BTXA");
}

TEST_F(AppendTool, CopyFileListHandsOverEveryRow)
{
    read(composeBundle(filled(8), std::vector<BundleRecord>{record("a", 0x080D, 1)}));
    appendTool::EmbedFile_List copy;
    tool->CopyFileList(copy);
    EXPECT_EQ(copy.count, 2);
    EXPECT_EQ(copy.paths[1], tool->temporaryFiles().paths[1]);
    EXPECT_EQ(copy.attributes[1], 0x080D);
    EXPECT_EQ(copy.kinds[1], 1);
}

TEST_F(AppendTool, AProgramCopyThatCannotBeWrittenFails)
{
    appendTool nowhere{inputs->prefix() + "no-such-dir/", &window};
    const std::string plain = program(bytesOf("plain"), "plain");
    EXPECT_EQ(nowhere.ReadinputExeFile(plain), -1);
    EXPECT_THAT(window.boxes, ElementsAre(messageBoxOf("Myfilecopy function error >> " + inputs->prefix() +
                                                           "no-such-dir/plain.tmp",
                                                       "Function Error", BoxButtons::OkCancel)));
    window.boxes.clear();
    const std::string bundled =
        program(composeBundle(filled(8), std::vector<BundleRecord>{record("a", 0x080D, 1)}));
    EXPECT_EQ(nowhere.ReadinputExeFile(bundled), -1); // the bundle's program copy fails silently
    EXPECT_TRUE(window.boxes.empty());
}

TEST(CutPath, SplitsAtTheLastSeparator)
{
    EXPECT_EQ(appendTool::cutPath("/usr/bin/fwupgrade"), "fwupgrade");
    EXPECT_EQ(appendTool::cutPath("fwupgrade"), "fwupgrade");
    EXPECT_EQ(appendTool::cutPath("/usr/bin/"), "");
    EXPECT_EQ(appendTool::cutPath("C:\\dir\\file"), "C:\\dir\\file");
}

} // namespace
