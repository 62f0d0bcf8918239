// fwbundle pack in its raw form and list, run in-process on files of a test-owned directory.
#include "tools/fwbundle/tests/ToolFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace bundle::testing;
using namespace fwbundle::testing;
using ::testing::StartsWith;
using namespace std::string_view_literals;

class BundleTool : public ToolFixture {};

TEST_F(BundleTool, PackWritesTheComposedBytesAndKeepsTheRunBit)
{
    const std::string program = file("fwupgrade", "PROGRAM IMAGE");
    ASSERT_TRUE(fw::File::openWrite(program).setMode(0755));
    const std::string image = file("main.bin", "firmware bytes");
    const std::string settings = file("control.cfg", std::string(224, '\0'));
    ASSERT_EQ(run({"pack", "-o", output(), program, image + ":0x080D", settings + ":4096"}), 0) << err.str();

    const std::vector<bundle::BundleRecord> records{{"main.bin", 0x080D, bytesOf("firmware bytes")},
                                                    {"control.cfg", 0x1000, bytesOf(std::string(224, '\0'))}};
    const auto want = bundle::composeBundle(bytesOf("PROGRAM IMAGE"), records);
    EXPECT_EQ(readText(output()), std::string(reinterpret_cast<const char*>(want.data()), want.size()));
    EXPECT_EQ(fw::fileMode(output()), 0755u);

    ASSERT_EQ(run({"list", output()}), 0) << err.str();
    EXPECT_THAT(out.str(),
                StartsWith("0 0x080D 14 main.bin\n    [image] methods = http ftp tftp, models = any, "
                           "section = 0, keep-name = no\n1 0x1000 224 control.cfg\n    [settings]\n"));
}

struct RefusalCase {
    const char* label;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.label; }
    std::function<std::vector<std::string>(BundleTool&)> args;
    std::string error;
};

class PackRefuses : public BundleTool, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PackRefuses, WithAClearErrorAndNoOutputFile)
{
    EXPECT_NE(run(GetParam().args(*this)), 0);
    EXPECT_NE(err.str().find(GetParam().error), std::string::npos) << err.str();
    EXPECT_FALSE(fw::fileExists(output()));
    EXPECT_FALSE(fw::fileExists(output() + ".partial"));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PackRefuses,
    ::testing::Values(
        RefusalCase{"NameOfThirtyTwoCharacters",
                    [](BundleTool& t) {
                        return std::vector<std::string>{"pack", "-o", t.output(), t.file("p", "P"),
                                                        t.file(std::string(32, 'n'), "x") + ":0x080D"};
                    },
                    "at most 31 characters"},
        RefusalCase{"SixtyFiveFiles",
                    [](BundleTool& t) {
                        std::vector<std::string> args{"pack", "-o", t.output(), t.file("p", "P")};
                        const std::string image = t.file("i.bin", "x") + ":0x080D";
                        args.insert(args.end(), 65, image);
                        return args;
                    },
                    "at most 64 files"},
        RefusalCase{"AProgramThatAlreadyCarriesABundle",
                    [](BundleTool& t) {
                        const auto bundled =
                            bundle::composeBundle(bytesOf("P"), std::vector<bundle::BundleRecord>{});
                        const std::string program = writeFile(*t.dir, "bundled", bundled);
                        return std::vector<std::string>{"pack", "-o", t.output(), program,
                                                        t.file("i.bin", "x") + ":0x080D"};
                    },
                    "already carries a bundle"},
        RefusalCase{"AnAttributeThatIsNoNumber",
                    [](BundleTool& t) {
                        return std::vector<std::string>{"pack", "-o", t.output(), t.file("p", "P"),
                                                        t.file("i.bin", "x") + ":0x1FFFF"};
                    },
                    "attribute word"},
        RefusalCase{"AMissingFile",
                    [](BundleTool& t) {
                        return std::vector<std::string>{"pack", "-o", t.output(), t.file("p", "P"),
                                                        t.dir->prefix() + "missing.bin:0x080D"};
                    },
                    "cannot read"}),
    [](const auto& info) { return std::string(info.param.label); });

struct ListCase {
    const char* label;
    friend void PrintTo(const ListCase& c, std::ostream* os) { *os << c.label; }
    std::vector<bundle::BundleRecord> records;
    std::string want;
};

class ListPrints : public BundleTool, public ::testing::WithParamInterface<ListCase> {};

TEST_P(ListPrints, TheRecordLinesTheirWordsAndTheDecodedSettings)
{
    const std::string bundled =
        writeFile(*dir, "bundled", bundle::composeBundle(bytesOf("P"), GetParam().records));
    ASSERT_EQ(run({"list", bundled}), 0) << err.str();
    EXPECT_EQ(out.str(), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, ListPrints,
    ::testing::Values(
        ListCase{
            "ImagesAndASettingsRecord",
            {{"main.bin", 0x080D, bytesOf("MAIN")},
             {"boot.bin", 0x0909, bytesOf("BOOT")},
             {"wrt.bin", 0x081E, bytesOf("WRT")},
             {"control.cfg", 0x1000,
              recordWithDefaultTextsOf({{0, "192.168.1.1"}, {36, "\x02"}, {37, "main.bin"}, {117, "\x9F"}})}},
            "0 0x080D 4 main.bin\n"
            "    [image] methods = http ftp tftp, models = any, section = 0, keep-name = no\n"
            "1 0x0909 4 boot.bin\n"
            "    [image] methods = tftp, models = any, section = 0, keep-name = yes\n"
            "2 0x081E 3 wrt.bin\n"
            "    [image] methods = http ftp tftp, models = matching, section = 1, keep-name = no\n"
            "3 0x1000 224 control.cfg\n"
            "    [settings]\n"
            "\n"
            "# record 3, control.cfg\n"
            "[settings]\n"
            "address = 192.168.1.1\n"
            "password =\n"
            "method = put\n"
            "file = main.bin\n"
            "rom-id =\n"
            "probes = normal boot crash default\n"
            "release = user\n"
            "log = hidden\n"
            "section-check = off\n"
            "search-address-1 = default\n"
            "search-address-2 = default\n"
            "search-address-3 = default\n"
            "search-address-4 = default\n"
            "caption = default\n"
            "timeout = 0\n"
            "method-order = default\n"},
        ListCase{"ASettingsRecordOfTheWrongSize",
                 {{"control.cfg", 0x1000, filled(10)}},
                 "0 0x1000 10 control.cfg\n    [settings]\n\n# record 0, control.cfg\n"
                 "# 10 bytes, not the 224 of a settings record\n"},
        ListCase{
            "RecordsOfOtherKindsAndStrayBits",
            {{"hello.msg", 0x0401, bytesOf("M")},
             {"odd.bin", 0x0A00, bytesOf("O")},
             {"plain", 0x000D, bytesOf("")}},
            "0 0x0401 1 hello.msg\n    [message] models = any\n"
            "1 0x0A00 1 odd.bin\n"
            "    [image] methods = none, models = none, section = 0, keep-name = no, other bits = 0x0200\n"
            "2 0x000D 0 plain\n    (no image, message or settings bit) other bits = 0x000D\n"
            "\n# record 0, hello.msg\n# 1 bytes, shorter than the 125-byte header of a message record\n"},
        ListCase{
            "AMessageAmongOtherRecords",
            {{"main.bin", 0x080D, bytesOf("MAIN")},
             {"welcome", 0x0402,
              messageRecordOf({{0, "VELT-welcome"},
                               {16, "Welcome"},
                               {80, "\x05\x00"sv},
                               {82, "\x01\x01"sv},
                               {118, "\x0D\x00"sv},
                               {120, "\x11\x22\x33\x00"sv},
                               {124, "\x01"}},
                              "{\\rtf1 Hello}")},
             {"control.cfg", 0x1000, recordOf({{36, "\x02"}})},
             {"bye.txt", 0x0401, messageRecordOf({{0, "bye"}, {83, "\x01"}, {118, "\x03\x00"sv}}, "Bye")}},
            "0 0x080D 4 main.bin\n"
            "    [image] methods = http ftp tftp, models = any, section = 0, keep-name = no\n"
            "1 0x0402 138 welcome\n"
            "    [message] models = matching\n"
            "2 0x1000 224 control.cfg\n"
            "    [settings]\n"
            "3 0x0401 128 bye.txt\n"
            "    [message] models = any\n"
            "\n"
            "# record 1, welcome\n"
            "[message]\n"
            "name = welcome\n"
            "# text: 13 bytes, RTF; file names where it is kept\n"
            "file = welcome\n"
            "message-name = VELT-welcome\n"
            "caption = Welcome\n"
            "live-time = 0.5\n"
            "shown = start\n"
            "models = matching\n"
            "background = #112233\n"
            "text = steady\n"
            "\n"
            "# record 2, control.cfg\n"
            "[settings]\n"
            "address =\n"
            "password =\n"
            "method = put\n"
            "file =\n"
            "rom-id =\n"
            "probes = none\n"
            "release = factory\n"
            "log = hidden\n"
            "section-check = off\n"
            "search-address-1 =\n"
            "search-address-2 =\n"
            "search-address-3 =\n"
            "search-address-4 =\n"
            "caption =\n"
            "timeout = 0\n"
            "method-order = default\n"
            "\n"
            "# record 3, bye.txt\n"
            "[message]\n"
            "name = bye.txt\n"
            "# text: 3 bytes, plain text; file names where it is kept\n"
            "file = bye.txt\n"
            "message-name = bye\n"
            "caption =\n"
            "live-time = 0\n"
            "shown = tftp\n"
            "models = any\n"
            "background = #000000\n"
            "text = blinking\n"},
        ListCase{
            "AMessageOneByteShortOfItsHeader",
            {{"short.msg", 0x0401, filled(124)}},
            "0 0x0401 124 short.msg\n    [message] models = any\n"
            "\n# record 0, short.msg\n# 124 bytes, shorter than the 125-byte header of a message record\n"},
        ListCase{"AMessageWhoseTextLengthRunsPastTheRecord",
                 {{"cut.msg", 0x0401, messageRecordOf({{118, "\x00\x01"sv}, {124, "\x01"}}, "{\\r")},
                  {"next.bin", 0x080D, bytesOf("tf1 not the message's")}},
                 "0 0x0401 128 cut.msg\n    [message] models = any\n"
                 "1 0x080D 21 next.bin\n"
                 "    [image] methods = http ftp tftp, models = any, section = 0, keep-name = no\n"
                 "\n# record 0, cut.msg\n[message]\nname = cut.msg\n"
                 "# Text_Length 256 runs past the record, which holds 3 bytes after its header\n"
                 "# text: 3 bytes, plain text; file names where it is kept\n"
                 "file = cut.msg\n"
                 "message-name =\n"
                 "caption =\n"
                 "live-time = 0\n"
                 "shown = transfers\n"
                 "models = any\n"
                 "background = #000000\n"
                 "text = steady\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(BundleTool, ListRefusesAFileWithoutBundle)
{
    EXPECT_EQ(run({"list", file("plain", "no bundle here")}), 1);
    EXPECT_NE(err.str().find("carries no bundle"), std::string::npos);
    EXPECT_EQ(run({"frobnicate"}), 2);
}

} // namespace
