// The settings record codec: the bytes a [settings] section makes, and the section a record reads as.
#include "tools/fwbundle/SettingsManifest.h"
#include "tools/fwbundle/tests/ToolFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace fwbundle;
using namespace fwbundle::testing;
using ::testing::HasSubstr;
using ::testing::Not;

ManifestSection settingsSection(const std::string& text)
{
    auto sections = parseManifest(text);
    if (const auto* error = std::get_if<ManifestError>(&sections))
        ADD_FAILURE() << error->line << ": " << error->text;
    const auto* parsed = std::get_if<std::vector<ManifestSection>>(&sections);
    return parsed && parsed->size() == 1 ? parsed->front() : ManifestSection{};
}

std::vector<std::byte> encoded(const std::string& text)
{
    const auto record = encodeSettings(settingsSection(text));
    if (const auto* error = std::get_if<ManifestError>(&record))
        ADD_FAILURE() << error->line << ": " << error->text;
    const auto* bytes = std::get_if<SettingsRecord>(&record);
    return bytes ? std::vector<std::byte>{bytes->begin(), bytes->end()} : std::vector<std::byte>{};
}

const std::string kTypical = "# A typical put\n"
                             "[settings]\n"
                             "address = 192.168.1.1\n"
                             "password = s3cret pass\n"
                             "method = put\n"
                             "file = /tmp/up/main.bin\n"
                             "rom-id = WRT54G\n"
                             "probes = normal crash\n"
                             "release = factory\n"
                             "log = shown\n"
                             "section-check = on\n"
                             "search-address-1 = 192.168.1.1\n"
                             "search-address-2 = default\n"
                             "search-address-3 = 10.0.0.1\n"
                             "caption = Router Upgrade\n"
                             "timeout = -5\n"
                             "method-order = ftp\n";

const std::string kGet = "[settings]\n"
                         "method = get\n"
                         "get-file = config.bin\n"
                         "get-offset = 4096\n"
                         "get-length = 65536\n";

TEST(SettingsRecord, OfATypicalPutHoldsEachFieldAtItsOffset)
{
    EXPECT_EQ(encoded(kTypical),
              recordOf({{0, "192.168.1.1"},
                        {18, "s3cret pass"},
                        {36, "\x02"},
                        {37, "/tmp/up/main.bin"},
                        {101, "WRT54G"},
                        {117, "\x69"}, // normal 0x01, crash 0x08, log 0x20, section check 0x40
                        {118, "192.168.1.1"},
                        {136, "default"},
                        {154, "10.0.0.1"},
                        {172, "default"},
                        {190, "Router Upgrade"},
                        {222, "\xFB"},
                        {223, "\x02"}}));
}

TEST(SettingsRecord, OfAGetSplitsInitFileIntoNameOffsetAndLength)
{
    EXPECT_EQ(encoded(kGet),
              recordWithDefaultTextsOf(
                  {{36, "\x01"}, {37, "config.bin"}, {69, "4096"}, {85, "65536"}, {117, "\x9F"}}));
}

// One entry beside "method = put"; every other byte keeps what the shortest section gives.
struct ByteCase {
    const char* label;
    std::string line;
    std::size_t at;
    unsigned want;
};

class SettingsByte : public ::testing::TestWithParam<ByteCase> {};

TEST_P(SettingsByte, HoldsWhatItsEntrySays)
{
    std::vector<std::byte> want = encoded("[settings]\nmethod = put\n");
    ASSERT_EQ(want.size(), 224u);
    want[GetParam().at] = static_cast<std::byte>(GetParam().want);
    EXPECT_EQ(encoded("[settings]\nmethod = put\n" + GetParam().line + "\n"), want);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, SettingsByte,
    ::testing::Values(ByteCase{"TheDefaultFlagsAreAllProbesAndUserRelease", "# nothing", 117, 0x9F},
                      ByteCase{"DefaultMethodOrder", "method-order = default", 223, 0x00},
                      ByteCase{"NormalProbe", "probes = normal", 117, 0x11},
                      ByteCase{"BootProbe", "probes = boot", 117, 0x12},
                      ByteCase{"CrashProbe", "probes = crash", 117, 0x18},
                      ByteCase{"DefaultProbeTakesTwoBits", "probes = default", 117, 0x94},
                      ByteCase{"NoProbe", "probes = none", 117, 0x10},
                      ByteCase{"AllProbesInAnyOrder", "probes = default crash boot normal", 117, 0x9F},
                      ByteCase{"FactoryRelease", "release = factory", 117, 0x8F},
                      ByteCase{"LogShown", "log = shown", 117, 0xBF},
                      ByteCase{"SectionCheckOn", "section-check = on", 117, 0xDF},
                      ByteCase{"TimeoutOfOneSecond", "timeout = 1", 222, 0x01},
                      ByteCase{"HighestTimeout", "timeout = 127", 222, 0x7F},
                      ByteCase{"LowestTimeout", "timeout = -128", 222, 0x80},
                      ByteCase{"HttpFirst", "method-order = http", 223, 0x01},
                      ByteCase{"FtpFirst", "method-order = ftp", 223, 0x02},
                      ByteCase{"TftpFirst", "method-order = tftp", 223, 0x03}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SettingsRecord, OfASetStoresMethodFour)
{
    EXPECT_EQ(encoded("[settings]\nmethod = set\nfile = a.bin\n"),
              recordWithDefaultTextsOf({{36, "\x04"}, {37, "a.bin"}, {117, "\x9F"}}));
}

// manifest -> record -> text -> record gives the bytes back, texts at their longest and quoted ones included.
class SettingsRoundTrip : public ::testing::TestWithParam<std::pair<const char*, std::string>> {};

TEST_P(SettingsRoundTrip, GivesTheSameBytes)
{
    const std::vector<std::byte> first = encoded(GetParam().second);
    ASSERT_EQ(first.size(), 224u);
    const std::string text = decodeSettings(std::span<const std::byte, 224>{first.data(), 224});
    EXPECT_THAT(text, Not(HasSubstr("\n# "))) << text; // nothing it could not express
    EXPECT_EQ(encoded(text), first) << text;
}

const std::string k17(17, 'a');

INSTANTIATE_TEST_SUITE_P(
    Manifests, SettingsRoundTrip,
    ::testing::Values(
        std::pair{"Typical", kTypical}, std::pair{"Get", kGet},
        std::pair{"OnlyAMethod", std::string{"[settings]\nmethod = set\n"}},
        std::pair{"TextsAtTheirLongest", "[settings]\nmethod = put\naddress = " + k17 +
                                             "\npassword = " + k17 + "\nfile = " + std::string(63, 'f') +
                                             "\nrom-id = " + std::string(15, 'r') +
                                             "\nsearch-address-1 = " + k17 + "\nsearch-address-2 = " + k17 +
                                             "\nsearch-address-3 = " + k17 + "\nsearch-address-4 = " + k17 +
                                             "\ncaption = " + std::string(31, 'c') + "\ntimeout = -128\n"},
        std::pair{"GetTextsAtTheirLongest", "[settings]\nmethod = get\nget-file = " + std::string(31, 'g') +
                                                "\nget-offset = " + std::string(15, '1') +
                                                "\nget-length = " + std::string(15, '2') + "\n"},
        std::pair{
            "TextsThatNeedQuotes",
            std::string{"[settings]\nmethod = put\npassword = \"  both ends \"\naddress = #not a comment\n"
                        "rom-id = \"\\\"q\\\\\"\ncaption = \"tab\\x09high\\xFF\"\nfile = a\"b\\c\n"
                        "search-address-1 =\n"}},
        std::pair{"NoProbesAndEveryOtherSwitchFlipped",
                  std::string{"[settings]\nmethod = put\nprobes = none\nrelease = factory\nlog = shown\n"
                              "section-check = on\nmethod-order = tftp\ntimeout = 127\n"}},
        std::pair{"OnlyTheDefaultProbe", std::string{"[settings]\nmethod = put\nprobes = default\n"}}),
    [](const auto& info) { return std::string(info.param.first); });

// Records no manifest makes: what decoding says about them.
struct DecodeCase {
    const char* label;
    std::vector<std::byte> record;
    std::string want; // consecutive lines of the decoded text
};

class DecodeSettings : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeSettings, ReadsEachFieldNoFurtherThanItsEnd)
{
    EXPECT_THAT(decodeSettings(std::span<const std::byte, 224>{GetParam().record.data(), 224}),
                HasSubstr(GetParam().want));
}

const std::string k18A(18, 'A');
const std::string k32G(32, 'g');
const std::string k32C(32, 'C');

INSTANTIATE_TEST_SUITE_P(
    Records, DecodeSettings,
    ::testing::Values(
        DecodeCase{"AnAddressWithoutItsZeroByte", recordOf({{0, k18A}, {18, "pw"}, {36, "\x02"}}),
                   "[settings]\n# address fills its 18 bytes without a zero byte\naddress = " + k18A +
                       "\npassword = pw\n"},
        DecodeCase{"ACaptionWithoutItsZeroByte", recordOf({{36, "\x02"}, {190, k32C}, {222, "\x05"}}),
                   "# caption fills its 32 bytes without a zero byte\ncaption = " + k32C + "\ntimeout = 5\n"},
        DecodeCase{"AGetFileWithoutItsZeroByte", recordOf({{36, "\x01"}, {37, k32G}, {69, "12"}}),
                   "method = get\n# get-file fills its 32 bytes without a zero byte\nget-file = " + k32G +
                       "\nget-offset = 12\nget-length =\nrom-id =\n"},
        DecodeCase{"BytesAfterAZeroByte", recordOf({{0, std::string_view{"ab\0zz", 5}}, {36, "\x02"}}),
                   "[settings]\naddress = ab\npassword =\n"},
        DecodeCase{"NoMethod", recordOf({{37, "x.bin"}}),
                   "password =\n# method byte 0x00 is none of get 1, put 2, set 4; initFile read as for put\n"
                   "file = x.bin\n"},
        DecodeCase{"ALoneDefaultProbeBit", recordOf({{36, "\x02"}, {117, "\x05"}}),
                   "# flags bit 0x04 is set without its partner; the default probe takes 0x84\n"
                   "probes = normal\nrelease = factory\n"},
        DecodeCase{
            "TheOtherLoneDefaultProbeBit", recordOf({{36, "\x02"}, {117, "\x80"}}),
            "# flags bit 0x80 is set without its partner; the default probe takes 0x84\nprobes = none\n"},
        DecodeCase{"AnUnknownMethodOrder", recordOf({{36, "\x02"}, {222, "\xFF"}, {223, "\x09"}}),
                   "timeout = -1\n# method-order byte 0x09 is none of default 0, http 1, ftp 2, tftp 3\n"},
        DecodeCase{"UnprintableBytes", recordOf({{18, "\x01pw\x7F"}, {36, "\x02"}}),
                   "password = \"\\x01pw\\x7F\"\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DecodeSettings, OfAnUnknownMethodOrderLeavesTheKeyOut)
{
    const auto record = recordOf({{36, "\x02"}, {223, "\x04"}});
    EXPECT_THAT(decodeSettings(std::span<const std::byte, 224>{record.data(), 224}),
                Not(HasSubstr("method-order =")));
}

} // namespace
