// The message record codec: the header a [message] section makes, and the section a record reads as.
#include "tools/fwbundle/MessageManifest.h"
#include "tools/fwbundle/tests/ToolFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace fwbundle;
using namespace fwbundle::testing;
using namespace std::string_view_literals;
using ::testing::HasSubstr;
using ::testing::Not;

Parsed<MessageEntry> messageOf(const std::string& text)
{
    auto sections = parseManifest(text);
    if (const auto* error = std::get_if<ManifestError>(&sections)) return *error;
    const auto& parsed = std::get<std::vector<ManifestSection>>(sections);
    if (parsed.size() != 1) return ManifestError{0, "not one section"};
    return encodeMessage(parsed.front());
}

MessageEntry entryOf(const std::string& text)
{
    auto message = messageOf(text);
    if (const auto* error = std::get_if<ManifestError>(&message)) {
        ADD_FAILURE() << error->line << ": " << error->text;
        return {};
    }
    return std::get<MessageEntry>(message);
}

// The record data a section and its text make.
std::vector<std::byte> encoded(const std::string& text, std::string_view body = "")
{
    const MessageEntry message = entryOf(text);
    std::vector<std::byte> data{message.header.begin(), message.header.end()};
    appendMessageText(data, fw::asBytes(body));
    return data;
}

std::string decoded(std::uint16_t attribute, const std::vector<std::byte>& data,
                    std::string_view name = "a.txt")
{
    const std::size_t lead = std::min(data.size(), kMessageLead);
    return decodeMessage(name, attribute, std::span{data}.first(lead),
                         static_cast<std::int64_t>(data.size()));
}

const std::string kTypical = "# A welcome at start\n"
                             "[message]\n"
                             "file = notes/welcome.rtf\n"
                             "name = welcome\n"
                             "message-name = VELT-welcome\n"
                             "caption = Welcome\n"
                             "live-time = 0.5\n"
                             "shown = start\n"
                             "models = matching\n"
                             "background = #112233\n"
                             "text = steady\n";
constexpr std::string_view kRtfText = "{\\rtf1 Hello}";

TEST(MessageRecord, OfATypicalMessageHoldsEachFieldAtItsOffsetAndTheTextAfterIt)
{
    EXPECT_EQ(encoded(kTypical, kRtfText), messageRecordOf({{0, "VELT-welcome"},
                                                            {16, "Welcome"},
                                                            {80, "\x05\x00"sv},
                                                            {82, "\x01\x01"sv},
                                                            {118, "\x0D\x00"sv},
                                                            {120, "\x11\x22\x33\x00"sv},
                                                            {124, "\x01"}},
                                                           kRtfText));
}

TEST(MessageRecord, OfTheShortestSectionHasTheRecordNameAWhiteBackgroundAndSteadyText)
{
    EXPECT_EQ(encoded("[message]\nfile = a.txt\nshown = transfers\n", "hi"),
              messageRecordOf({{0, "a.txt"}, {118, "\x02\x00"sv}, {120, "\xFF\xFF\xFF\x00"sv}, {124, "\x01"}},
                              "hi"));
}

TEST(MessageRecord, StoresTheTextLengthLowByteFirst)
{
    const std::string body(300, 't');
    const auto data = encoded("[message]\nfile = a.txt\nshown = tftp\n", body);
    ASSERT_EQ(data.size(), kMessageHeaderSize + 300);
    EXPECT_EQ(data[118], std::byte{0x2C});
    EXPECT_EQ(data[119], std::byte{0x01});
    EXPECT_EQ(data[125], std::byte{'t'});
}

// One entry beside the shortest section, or in place of its shown; every other byte keeps what that
// section gives.
struct MessageByteCase {
    const char* label;
    friend void PrintTo(const MessageByteCase& c, std::ostream* os) { *os << c.label; }
    std::string line;
    Piece want;
};

class MessageByte : public ::testing::TestWithParam<MessageByteCase> {};

TEST_P(MessageByte, HoldsWhatItsEntrySays)
{
    const std::string shortest = "[message]\nfile = a.txt\n";
    std::vector<std::byte> want = encoded(shortest + "shown = transfers\n");
    ASSERT_EQ(want.size(), kMessageHeaderSize);
    place(want, GetParam().want);
    const std::string& line = GetParam().line;
    EXPECT_EQ(encoded(shortest + line + (line.starts_with("shown") ? "\n" : "\nshown = transfers\n")), want);
}

const std::string k15M(15, 'm');
const std::string k63C(63, 'c');

INSTANTIATE_TEST_SUITE_P(
    Entries, MessageByte,
    ::testing::Values(
        MessageByteCase{"TransfersLeaveBothCheckBytesClear", "# nothing", {82, "\x00\x00"sv}},
        MessageByteCase{"StartSetsBothCheckBytes", "shown = start", {82, "\x01\x01"sv}},
        MessageByteCase{"HttpFtpSetsTheFtpCheckByte", "shown = http-ftp", {82, "\x01\x00"sv}},
        MessageByteCase{"TftpSetsTheTftpCheckByte", "shown = tftp", {82, "\x00\x01"sv}},
        MessageByteCase{"NoLiveTimeKeepsTheWindowUntilClosed", "# nothing", {80, "\x00\x00"sv}},
        MessageByteCase{"LiveTimeZero", "live-time = 0", {80, "\x00\x00"sv}},
        MessageByteCase{"TheShortestLiveTime", "live-time = 0.1", {80, "\x01\x00"sv}},
        MessageByteCase{"HalfASecondIsFiveTenths", "live-time = 0.5", {80, "\x05\x00"sv}},
        MessageByteCase{"FiveSecondsAreFiftyTenths", "live-time = 5", {80, "\x32\x00"sv}},
        MessageByteCase{"FiveSecondsWithADecimal", "live-time = 5.0", {80, "\x32\x00"sv}},
        MessageByteCase{"JustBelowTheLongestLiveTime", "live-time = 7.9", {80, "\x4F\x00"sv}},
        MessageByteCase{"TheLongestLiveTime", "live-time = 8", {80, "\x50\x00"sv}},
        MessageByteCase{"TheLongestLiveTimeWithLeadingZeros", "live-time = 008.0", {80, "\x50\x00"sv}},
        MessageByteCase{"RedIsTheLowByte", "background = #FF0000", {120, "\xFF\x00\x00\x00"sv}},
        MessageByteCase{"GreenIsTheMiddleByte", "background = #00FF00", {120, "\x00\xFF\x00\x00"sv}},
        MessageByteCase{"BlueIsTheThirdByte", "background = #0000FF", {120, "\x00\x00\xFF\x00"sv}},
        MessageByteCase{"ABackgroundInSmallLetters", "background = #a1b2c3", {120, "\xA1\xB2\xC3\x00"sv}},
        MessageByteCase{"ABlackBackground", "background = #000000", {120, "\x00\x00\x00\x00"sv}},
        MessageByteCase{"BlinkingText", "text = blinking", {124, "\x00"sv}},
        MessageByteCase{"SteadyText", "text = steady", {124, "\x01"}},
        MessageByteCase{"AMessageNameOfItsOwn", "message-name = hello", {0, "hello"}},
        MessageByteCase{"AnEmptyMessageName", "message-name =", {0, "\0\0\0\0\0"sv}},
        MessageByteCase{"AMessageNameOfFifteen", "message-name = " + k15M, {0, k15M}},
        MessageByteCase{"TheRecordNameIsTheMessageName", "name = note1", {0, "note1"}},
        MessageByteCase{"ACaption", "caption = \" Hi \"", {16, " Hi "}},
        MessageByteCase{"ACaptionOfSixtyThree", "caption = " + k63C, {16, k63C}}),
    [](const auto& info) { return std::string(info.param.label); });

struct MessageWordCase {
    const char* label;
    friend void PrintTo(const MessageWordCase& c, std::ostream* os) { *os << c.label; }
    std::string lines;
    std::uint16_t attribute;
    std::string name = "a.txt";
};

class MessageWord : public ::testing::TestWithParam<MessageWordCase> {};

TEST_P(MessageWord, MakesItsAttributeWordAndRecordName)
{
    const auto message = messageOf("[message]\n" + GetParam().lines);
    ASSERT_TRUE(std::holds_alternative<MessageEntry>(message)) << std::get<ManifestError>(message).text;
    EXPECT_EQ(std::get<MessageEntry>(message).attribute, GetParam().attribute);
    EXPECT_EQ(std::get<MessageEntry>(message).name, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Sections, MessageWord,
    ::testing::Values(
        MessageWordCase{"AnyModelByDefault", "file = a.txt\nshown = transfers\n", 0x0401},
        MessageWordCase{"AnyModel", "file = a.txt\nshown = http-ftp\nmodels = any\n", 0x0401},
        MessageWordCase{"MatchingModels", "file = a.txt\nshown = tftp\nmodels = matching\n", 0x0402},
        MessageWordCase{"BothModels", "file = a.txt\nshown = transfers\nmodels = both\n", 0x0403},
        MessageWordCase{"AtStartForMatchingModelsWithAVeltName",
                        "file = a.txt\nshown = start\nmodels = matching\nmessage-name = VELT1\n", 0x0402},
        MessageWordCase{"AtStartForMatchingModelsNamedVeltByTheRecord",
                        "file = a.txt\nname = VELT-a\nshown = start\nmodels = matching\n", 0x0402, "VELT-a"},
        MessageWordCase{"AtStartForBothModelsWithAnyName", "file = a.txt\nshown = start\nmodels = both\n",
                        0x0403},
        MessageWordCase{"TheBaseNameOfAPath", "file = ../notes/a.txt\nshown = start\n", 0x0401},
        MessageWordCase{"ARecordNameLongerThanAMessageName",
                        "file = a.txt\nname = " + std::string(31, 'n') +
                            "\nmessage-name = m\nshown = start\n",
                        0x0401, std::string(31, 'n')}),
    [](const auto& info) { return std::string(info.param.label); });

// manifest -> record -> text -> record gives the bytes back.
struct RoundTripCase {
    const char* label;
    friend void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.label; }
    std::string manifest;
    std::string body;
};

class MessageRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(MessageRoundTrip, GivesTheSameBytes)
{
    const MessageEntry first = entryOf(GetParam().manifest);
    std::vector<std::byte> data{first.header.begin(), first.header.end()};
    appendMessageText(data, fw::asBytes(GetParam().body));
    const std::string text = decoded(first.attribute, data, first.name);
    // The text's line is the only '#' line: there is nothing the section could not express.
    const std::size_t textLine = text.find("\n# text: ");
    EXPECT_NE(textLine, std::string::npos) << text;
    EXPECT_EQ(text.find("\n# ", textLine + 1), std::string::npos) << text;
    EXPECT_EQ(text.substr(0, textLine).find("\n# "), std::string::npos) << text;
    const MessageEntry again = entryOf(text);
    EXPECT_EQ(again.header, first.header) << text;
    EXPECT_EQ(again.attribute, first.attribute) << text;
    EXPECT_EQ(again.name, first.name) << text;
    EXPECT_EQ(again.path, first.name) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Manifests, MessageRoundTrip,
    ::testing::Values(
        RoundTripCase{"Typical", kTypical, std::string{kRtfText}},
        RoundTripCase{"TheShortest", "[message]\nfile = a.txt\nshown = transfers\n", "plain"},
        RoundTripCase{"AnEmptyText", "[message]\nfile = a.txt\nshown = tftp\n", ""},
        RoundTripCase{"TextsAtTheirLongest",
                      "[message]\nfile = a.txt\nname = " + std::string(31, 'n') + "\nmessage-name = " + k15M +
                          "\ncaption = " + k63C + "\nshown = http-ftp\nlive-time = 8\n",
                      "x"},
        RoundTripCase{"TextsThatNeedQuotes",
                      "[message]\nfile = a.txt\nname = \" a\\\"b \"\nmessage-name = \"\\xFFq\\\\\"\n"
                      "caption = \"  tab\\x09 \"\nshown = start\n",
                      "x"},
        RoundTripCase{"AnEmptyMessageName", "[message]\nfile = a.txt\nmessage-name =\nshown = http-ftp\n",
                      "x"},
        RoundTripCase{"TenthsOfASecond", "[message]\nfile = a.txt\nlive-time = 7.9\nshown = tftp\n", "x"},
        RoundTripCase{"ABlinkingBlackMessage",
                      "[message]\nfile = a.txt\nbackground = #000000\ntext = blinking\nshown = start\n", "x"},
        RoundTripCase{"AnOddColour", "[message]\nfile = a.txt\nbackground = #0a1B2c\nshown = start\n", "x"}),
    [](const auto& info) { return std::string(info.param.label); });

// Every shown, models and text word, decoded and read back, makes the same record.
TEST(MessageRoundTrip, OfEveryWordGivesTheSameBytes)
{
    for (const std::string shown : {"start", "transfers", "http-ftp", "tftp"}) {
        for (const std::string models : {"any", "matching", "both"}) {
            for (const std::string text : {"steady", "blinking"}) {
                const MessageEntry first =
                    entryOf("[message]\nfile = a.txt\nmessage-name = VELT-a\nshown = " + shown +
                            "\nmodels = " + models + "\ntext = " + text + "\n");
                std::vector<std::byte> data{first.header.begin(), first.header.end()};
                const std::string lines = decoded(first.attribute, data);
                EXPECT_THAT(lines, HasSubstr("shown = " + shown + "\nmodels = " + models + "\n"));
                const MessageEntry again = entryOf(lines);
                EXPECT_EQ(again.header, first.header) << lines;
                EXPECT_EQ(again.attribute, first.attribute) << lines;
            }
        }
    }
}

TEST(DecodeMessage, WritesEveryKeyOfATypicalRecord)
{
    EXPECT_EQ(decoded(0x0402, encoded(kTypical, kRtfText), "welcome"),
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
              "text = steady\n");
}

TEST(DecodeMessage, NeverLooksAtTheTextPastTheRecord)
{
    // The record holds "{\r" of a text said to be 6 bytes long; the bytes beyond it are not its own.
    std::vector<std::byte> bytes = messageRecordOf({{118, "\x06\x00"sv}}, "{\\rtf1");
    const std::span<const std::byte> record = std::span{bytes}.first(kMessageHeaderSize + 2);
    const std::string text = decodeMessage("a.txt", 0x0401, record, static_cast<std::int64_t>(record.size()));
    EXPECT_THAT(text, HasSubstr("# Text_Length 6 runs past the record, which holds 2 bytes after its header\n"
                                "# text: 2 bytes, plain text;"));
}

// Records no manifest makes: what decoding says about them.
struct DecodeMessageCase {
    const char* label;
    friend void PrintTo(const DecodeMessageCase& c, std::ostream* os) { *os << c.label; }
    std::uint16_t attribute;
    std::vector<std::byte> data;
    std::string want; // consecutive lines of the decoded text; all of it for a record shorter than a header
};

class DecodeMessages : public ::testing::TestWithParam<DecodeMessageCase> {};

TEST_P(DecodeMessages, SaysWhatTheBytesHoldAndWhatTheSectionCannotExpress)
{
    const std::string text = decoded(GetParam().attribute, GetParam().data);
    if (GetParam().data.size() < kMessageHeaderSize)
        EXPECT_EQ(text, GetParam().want);
    else
        EXPECT_THAT(text, HasSubstr(GetParam().want));
}

std::vector<std::byte> withModelsAndTexts(std::initializer_list<Piece> pieces, std::string_view body = "")
{
    std::vector<std::byte> data = messageRecordOf({{120, "\xFF\xFF\xFF\x00"sv}, {124, "\x01"}}, body);
    for (const Piece& piece : pieces) place(data, piece);
    return data;
}

const std::string k16N(16, 'N');
const std::string k64C(64, 'C');

INSTANTIATE_TEST_SUITE_P(
    Records, DecodeMessages,
    ::testing::Values(
        DecodeMessageCase{
            "NoDataAtAll", 0x0401, {}, "# 0 bytes, shorter than the 125-byte header of a message record\n"},
        DecodeMessageCase{"OneByteShortOfTheHeader", 0x0401, std::vector<std::byte>(124),
                          "# 124 bytes, shorter than the 125-byte header of a message record\n"},
        DecodeMessageCase{
            "AHeaderAndNoText", 0x0401, std::vector<std::byte>(125),
            "name = a.txt\n# text: 0 bytes, empty; file names where it is kept\nfile = a.txt\n"},
        DecodeMessageCase{"ATextLengthPastTheRecord", 0x0401,
                          withModelsAndTexts({{118, "\x0A\x00"sv}}, "abc"),
                          "# Text_Length 10 runs past the record, which holds 3 bytes after its header\n"
                          "# text: 3 bytes, plain text;"},
        DecodeMessageCase{"ATextLengthReadLowByteFirst", 0x0401,
                          withModelsAndTexts({{118, "\x00\x01"sv}}, "abc"),
                          "# Text_Length 256 runs past the record, which holds 3 bytes after its header\n"},
        DecodeMessageCase{"ATextLengthPastAnRtfText", 0x0401,
                          withModelsAndTexts({{118, "\xFF\xFF"sv}}, "{\\rtf1"),
                          "# Text_Length 65535 runs past the record, which holds 6 bytes after its header\n"
                          "# text: 6 bytes, RTF;"},
        DecodeMessageCase{"BytesAfterTheText", 0x0401, withModelsAndTexts({{118, "\x02\x00"sv}}, "abcde"),
                          "# 3 bytes follow the text\n# text: 2 bytes, plain text;"},
        DecodeMessageCase{"AnRtfMarkCutByTheTextLength", 0x0401,
                          withModelsAndTexts({{118, "\x04\x00"sv}}, "{\\rtf1"),
                          "# 2 bytes follow the text\n# text: 4 bytes, plain text;"},
        DecodeMessageCase{"AnRtfMarkInCapitals", 0x0401, withModelsAndTexts({{118, "\x06\x00"sv}}, "{\\RTF1"),
                          "# text: 6 bytes, plain text;"},
        DecodeMessageCase{"AMessageNameWithoutItsZeroByte", 0x0401, withModelsAndTexts({{0, k16N}}),
                          "# message-name fills its 16 bytes without a zero byte\nmessage-name = " + k16N +
                              "\ncaption =\n"},
        DecodeMessageCase{"ACaptionWithoutItsZeroByte", 0x0401, withModelsAndTexts({{16, k64C}}),
                          "# caption fills its 64 bytes without a zero byte\ncaption = " + k64C +
                              "\nlive-time = 0\n"},
        DecodeMessageCase{"BytesAfterTheNamesZeroByte", 0x0401, withModelsAndTexts({{0, "ab\0zz"sv}}),
                          "message-name = ab\n"},
        DecodeMessageCase{"AReservedByteAtTheStart", 0x0401, withModelsAndTexts({{84, "\x01"}}),
                          "# reserved bytes 84-117 are not all zero\nlive-time = 0\n"},
        DecodeMessageCase{"AReservedByteInTheMiddle", 0x0401, withModelsAndTexts({{100, "\x01"}}),
                          "# reserved bytes 84-117 are not all zero\n"},
        DecodeMessageCase{"AReservedByteAtTheEnd", 0x0401, withModelsAndTexts({{117, "\x01"}}),
                          "# reserved bytes 84-117 are not all zero\n"},
        DecodeMessageCase{"TheLongestLiveTime", 0x0401, withModelsAndTexts({{80, "\x50\x00"sv}}),
                          "caption =\nlive-time = 8\n"},
        DecodeMessageCase{"AnOddLiveTime", 0x0401, withModelsAndTexts({{80, "\x4F\x00"sv}}),
                          "caption =\nlive-time = 7.9\n"},
        DecodeMessageCase{"ALiveTimePastTheLongest", 0x0401, withModelsAndTexts({{80, "\x51\x00"sv}}),
                          "# Live_Time 81 tenths acts as 80, the longest\nlive-time = 8\n"},
        DecodeMessageCase{"ALiveTimeReadLowByteFirst", 0x0401, withModelsAndTexts({{80, "\x05\x01"sv}}),
                          "# Live_Time 261 tenths acts as 80, the longest\nlive-time = 8\n"},
        DecodeMessageCase{"TheFtpCheckAlone", 0x0401, withModelsAndTexts({{82, "\x01"}}),
                          "shown = http-ftp\n"},
        DecodeMessageCase{"TheTftpCheckAlone", 0x0401, withModelsAndTexts({{83, "\x01"}}), "shown = tftp\n"},
        DecodeMessageCase{"NeitherCheck", 0x0401, withModelsAndTexts({}), "shown = transfers\n"},
        DecodeMessageCase{"AnFtpCheckByteOtherThanOne", 0x0401, withModelsAndTexts({{82, "\x05\x01"sv}}),
                          "# Msg_FTP_Check byte 0x05 counts as set\nshown = start\n"},
        DecodeMessageCase{"ATftpCheckByteOtherThanOne", 0x0401, withModelsAndTexts({{83, "\xFF"}}),
                          "# Msg_TFTP_Check byte 0xFF counts as set\nshown = tftp\n"},
        DecodeMessageCase{"MatchingModels", 0x0402, withModelsAndTexts({}),
                          "shown = transfers\nmodels = matching\n"},
        DecodeMessageCase{"BothModels", 0x0403, withModelsAndTexts({}), "models = both\nbackground"},
        DecodeMessageCase{
            "NoModelBit",
            0x0400, withModelsAndTexts({}),
            "shown = transfers\n# the attribute word sets neither 0x0001 nor 0x0002: no model is "
            "shown the message\nbackground = #FFFFFF\n"},
        DecodeMessageCase{
            "AStartMessageNoModelIsShown", 0x0402, withModelsAndTexts({{0, "welcome"}, {82, "\x01\x01"sv}}),
            "shown = start\n# shown at start to matching models only, and the message name does "
            "not continue after VELT: the program never shows it\nmodels = matching\n"},
        DecodeMessageCase{"AStartMessageNamedJustVelt", 0x0402,
                          withModelsAndTexts({{0, "VELT"}, {82, "\x01\x01"sv}}),
                          "# shown at start to matching models only"},
        DecodeMessageCase{"StrayAttributeBits", 0x05F1, withModelsAndTexts({}),
                          "models = any\n# attribute bits 0x01F0 mean nothing to a message\nbackground"},
        DecodeMessageCase{"TheColourReadRedFirst", 0x0401, withModelsAndTexts({{120, "\x11\x22\x33\x00"sv}}),
                          "models = any\nbackground = #112233\ntext = steady\n"},
        DecodeMessageCase{"AColourWithItsHighByteSet", 0x0401,
                          withModelsAndTexts({{120, "\x11\x22\x33\x44"sv}}),
                          "# Back_Color 0x44332211 has its high byte set\nbackground = #112233\n"},
        DecodeMessageCase{"BlinkingText", 0x0401, withModelsAndTexts({{124, "\x00"sv}}), "text = blinking\n"},
        DecodeMessageCase{"ASteadyByteOtherThanOne", 0x0401, withModelsAndTexts({{124, "\x07"}}),
                          "# Steady_Text byte 0x07 counts as steady\ntext = steady\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DecodeMessage, LeavesTheModelsKeyOutWhenNoModelBitIsSet)
{
    EXPECT_THAT(decoded(0x0400, withModelsAndTexts({})), Not(HasSubstr("models =")));
}

} // namespace
