// Byte layout of records and trailers, as the writer composes and the reader decodes them.
#include "bundle/BundleFormat.h"
#include "bundle/tests/BundleFixtures.h"

#include <cstring>
#include <gtest/gtest.h>

namespace bundle {
namespace {

using namespace bundle::testing;

std::array<std::byte, kHeaderSize> header(std::uint32_t length, unsigned highByte, unsigned lowByte,
                                          std::string_view name)
{
    std::array<std::byte, kHeaderSize> bytes{};
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::byte>((length >> (8 * i)) & 0xFF);
    bytes[4] = static_cast<std::byte>(highByte);
    bytes[5] = static_cast<std::byte>(lowByte);
    for (std::size_t i = 0; i < name.size() && i < kNameField; ++i)
        bytes[6 + i] = static_cast<std::byte>(name[i]);
    return bytes;
}

const std::string k32Letters(32, 'N');

struct HeaderCase {
    const char* label;
    friend void PrintTo(const HeaderCase& c, std::ostream* os) { *os << c.label; }
    std::array<std::byte, kHeaderSize> bytes;
    RecordHeader want;
};

class DecodeHeader : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(DecodeHeader, ReadsWhatTheBytesSay)
{
    EXPECT_EQ(decodeRecordHeader(GetParam().bytes), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Records, DecodeHeader,
    ::testing::Values(
        HeaderCase{"Settings", header(262, 0x10, 0x00, "control.cfg"), {262, 0x1000, "control.cfg"}},
        HeaderCase{"AttributeIsHighByteFirst", header(38, 0x08, 0x0D, "a"), {38, 0x080D, "a"}},
        HeaderCase{"ReversedBytesMakeAMessageFile", header(38, 0x0D, 0x08, "a"), {38, 0x0D08, "a"}},
        HeaderCase{"NameFillsItsField", header(38, 0, 0, k32Letters), {38, 0, k32Letters}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ComposeBundle, TrailerOfFiveRecordsReadsBackFromTheEnd)
{
    std::vector<BundleRecord> records;
    for (int i = 0; i < 5; ++i) records.push_back(record("r" + std::to_string(i), 0x080D, 10 * i));
    const auto image = filled(100, 'P');
    const auto file = composeBundle(image, records);
    const std::size_t end = file.size();

    EXPECT_EQ(std::memcmp(file.data() + end - 8, kMagic, 8), 0);
    EXPECT_EQ(le16(file, end - 10), 34); // 4 x 5 + 14
    EXPECT_EQ(le16(file, end - 12), 5);
    EXPECT_EQ(le16(file, end - 14), kVersion);
    // Offset 0 is the bundle length: every record plus the trailer.
    const std::uint32_t recordBytes = 5 * kHeaderSize + (0 + 10 + 20 + 30 + 40);
    EXPECT_EQ(le32(file, end - 34), recordBytes + 34);
    EXPECT_EQ(le32(file, end - 30), recordBytes + 34 - (kHeaderSize + 0)); // record 1 starts after record 0
    EXPECT_EQ(end, image.size() + recordBytes + 34);
}

TEST(ComposeBundle, SettingsRecordHeaderBytes)
{
    const auto bytes = encodeRecordHeader(262, Attribute::Control_File, "control.cfg");
    ASSERT_EQ(bytes.size(), std::size_t{kHeaderSize});
    const std::vector<unsigned> head{0x06, 0x01, 0x00, 0x00, 0x10, 0x00, 'c', 'o'};
    for (std::size_t i = 0; i < head.size(); ++i)
        EXPECT_EQ(std::to_integer<unsigned>(bytes[i]), head[i]) << i;
    EXPECT_EQ(bytes[6 + 11], std::byte{0});
}

struct LayoutCase {
    const char* label;
    friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }
    std::function<void(std::vector<std::byte>&)> spoil;
    bool readable;
};

class ReadLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ReadLayout, RefusesATrailerThatDoesNotFitTheFile)
{
    auto dir = fw::TempDir::create("fwtest-");
    ASSERT_TRUE(dir);
    auto bytes = composeBundle(filled(40), std::vector<BundleRecord>{record("a", 0x080D, 5)});
    GetParam().spoil(bytes);
    const fw::File file = fw::File::openRead(writeFile(*dir, "b", bytes));
    EXPECT_EQ(readLayout(file).has_value(), GetParam().readable);
}

INSTANTIATE_TEST_SUITE_P(
    Trailers, ReadLayout,
    ::testing::Values(
        LayoutCase{"Intact", [](auto&) {}, true},
        LayoutCase{"TrailerLongerThanTheFile", [](auto& b) { storeLe16(b, b.size() - 10, 0xFFF0); }, false},
        LayoutCase{"TrailerLengthNotFourTimesCountPlus14", [](auto& b) { storeLe16(b, b.size() - 10, 19); },
                   false},
        LayoutCase{"OffsetBeforeTheStartOfTheFile", [](auto& b) { storeLe32(b, b.size() - 18, 5000); },
                   false},
        LayoutCase{"OffsetInsideTheTrailer", [](auto& b) { storeLe32(b, b.size() - 18, 10); }, false}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace bundle
