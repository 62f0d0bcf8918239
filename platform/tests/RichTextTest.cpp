// Tests of the RTF reader and the plain-text path of the message view.
#include "platform/RichText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fw {
namespace {

const std::string kP = "<p style=\"margin:0; white-space:pre-wrap\">";
const std::string kEmpty = "<p style=\"-qt-paragraph-type:empty; margin:0\"><br></p>";

std::string para(const std::string& inner)
{
    return kP + inner + "</p>";
}
// A literal with its NUL bytes.
template <std::size_t N>
std::string bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}
std::string span(const std::string& style, const std::string& inner)
{
    return "<span style=\"" + style + "\">" + inner + "</span>";
}

// Checks the HTML has the one shape the view is promised: paragraphs at the top, runs and <br>
// only inside them, nothing nested, every tag closed, no bare < > " or unknown entity.
// Returns an empty string when it does, else what is wrong.
std::string shapeFault(const std::string& html)
{
    bool inParagraph = false;
    bool inSpan = false;
    for (std::size_t pos = 0; pos < html.size();) {
        const std::string_view rest = std::string_view{html}.substr(pos);
        if (rest.starts_with(kP) || rest.starts_with(kEmpty)) {
            if (inParagraph) return "paragraph inside paragraph at " + std::to_string(pos);
            if (rest.starts_with(kEmpty)) {
                pos += kEmpty.size();
            } else {
                inParagraph = true;
                pos += kP.size();
            }
        } else if (rest.starts_with("</p>")) {
            if (!inParagraph || inSpan) return "stray </p> at " + std::to_string(pos);
            inParagraph = false;
            pos += 4;
        } else if (rest.starts_with("<span style=\"")) {
            if (!inParagraph || inSpan) return "misplaced span at " + std::to_string(pos);
            const std::size_t end = rest.find("\">");
            if (end == std::string_view::npos) return "unterminated span";
            inSpan = true;
            pos += end + 2;
        } else if (rest.starts_with("</span>")) {
            if (!inSpan) return "stray </span> at " + std::to_string(pos);
            inSpan = false;
            pos += 7;
        } else if (rest.starts_with("<br>")) {
            if (!inParagraph) return "<br> outside a paragraph";
            pos += 4;
        } else if (rest[0] == '<' || rest[0] == '>' || rest[0] == '"') {
            return "bare markup character at " + std::to_string(pos);
        } else {
            if (!inParagraph) return "text outside a paragraph at " + std::to_string(pos);
            if (rest[0] == '&') {
                bool known = false;
                for (std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&nbsp;"}) {
                    if (rest.starts_with(entity)) {
                        known = true;
                        pos += entity.size();
                    }
                }
                if (!known) return "bare & at " + std::to_string(pos);
            } else {
                ++pos;
            }
        }
    }
    if (inSpan || inParagraph) return "unclosed tag at the end";
    return {};
}

// What a reader sees: tags gone, entities resolved, each paragraph on a line of its own.
std::string visibleText(const std::string& html)
{
    std::string text;
    for (std::size_t pos = 0; pos < html.size();) {
        const std::string_view rest = std::string_view{html}.substr(pos);
        if (rest.starts_with("</p>")) {
            text += '\n';
            pos += 4;
        } else if (rest.starts_with("<br></p>")) {
            text += '\n';
            pos += 8;
        } else if (rest.starts_with("<br>")) {
            text += '\n';
            pos += 4;
        } else if (rest[0] == '<') {
            pos += rest.find('>') + 1;
        } else if (rest.starts_with("&amp;")) {
            text += '&', pos += 5;
        } else if (rest.starts_with("&lt;")) {
            text += '<', pos += 4;
        } else if (rest.starts_with("&gt;")) {
            text += '>', pos += 4;
        } else if (rest.starts_with("&quot;")) {
            text += '"', pos += 6;
        } else if (rest.starts_with("&nbsp;")) {
            text += "\u00A0", pos += 6;
        } else {
            text += rest[0], ++pos;
        }
    }
    return text;
}

TEST(RichText, TellsRtfFromPlainText)
{
    struct Case {
        std::string text;
        bool rtf;
    };
    const std::vector<Case> cases = {
        {"{\\rtf1\\ansi hello}", true},
        {"{\\rtf", true},
        {" \t\r\n {\\rtf1 x}", true},
        {"", false},
        {" \r\n", false},
        {"{\\rt", false},
        {"{ \\rtf1 x}", false},
        {"\\rtf1 x", false},
        {"{\\RTF1 x}", false},
        {"Read {\\rtf1 this} first", false},
        {"\v{\\rtf1 x}", false},
        {"\xEF\xBB\xBF{\\rtf1 x}", false},
        {"Plain message text", false},
    };
    for (const Case& c : cases) EXPECT_EQ(isRtf(c.text), c.rtf) << c.text;
}

struct HtmlCase {
    const char* label;
    std::string rtf;
    std::string want;
};

class RtfToHtml : public testing::TestWithParam<HtmlCase> {};

TEST_P(RtfToHtml, WritesWhatTheRtfSays)
{
    const std::string html = rtfToHtml(GetParam().rtf);
    EXPECT_EQ(html, GetParam().want);
    EXPECT_EQ(shapeFault(html), "");
}

const std::string kColors = "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green128\\blue255;}";

INSTANTIATE_TEST_SUITE_P(
    Formatting, RtfToHtml,
    testing::Values(
        HtmlCase{"PlainTextStandsOutsideAnySpan", "{\\rtf1 Hello}", para("Hello")},
        HtmlCase{"BoldEndsWithItsGroup", "{\\rtf1 a{\\b b}c}",
                 para("a" + span("font-weight:bold", "b") + "c")},
        HtmlCase{"BoldZeroTurnsBoldOff", "{\\rtf1 \\b a\\b0 b}", para(span("font-weight:bold", "a") + "b")},
        HtmlCase{"GroupGivesBackTheOuterBold", "{\\rtf1 \\b a{\\b0 b}c}",
                 para(span("font-weight:bold", "a") + "b" + span("font-weight:bold", "c"))},
        HtmlCase{"ItalicAndUnderlineShareOneRun", "{\\rtf1 {\\i\\ul a}b}",
                 para(span("font-style:italic; text-decoration:underline", "a") + "b")},
        HtmlCase{"UlnoneAndUlZeroBothEndUnderline", "{\\rtf1 \\ul a\\ulnone b\\ul c\\ul0 d}",
                 para(span("text-decoration:underline", "a") + "b" + span("text-decoration:underline", "c") +
                      "d")},
        HtmlCase{"UnderlineVariantsUnderline", "{\\rtf1 \\uldb a\\ulw0 b}",
                 para(span("text-decoration:underline", "a") + "b")},
        HtmlCase{"ColourTableEntryZeroIsTheViewsColour", "{\\rtf1" + kColors + "\\cf1 a\\cf2 b\\cf0 c}",
                 para(span("color:#ff0000", "a") + span("color:#0080ff", "b") + "c")},
        HtmlCase{"ColourPastTheTableIsTheViewsColour", "{\\rtf1" + kColors + "\\cf3 a\\cf99999 b}",
                 para("ab")},
        HtmlCase{"ColourWithoutATableIsTheViewsColour", "{\\rtf1 \\cf1 a}", para("a")},
        HtmlCase{"DefinedEntryZeroIsUsed", "{\\rtf1{\\colortbl\\red0\\green0\\blue255;}\\cf0 a}",
                 para(span("color:#0000ff", "a"))},
        HtmlCase{"ColourComponentsStayWithinAByte", "{\\rtf1{\\colortbl;\\red999\\green-5\\blue16;}\\cf1 a}",
                 para(span("color:#ff0010", "a"))},
        HtmlCase{"LastColourEntryWithoutItsSemicolonCounts", "{\\rtf1{\\colortbl\\red255}\\cf0 x}",
                 para(span("color:#ff0000", "x"))},
        HtmlCase{"ColourEndsWithItsGroup", "{\\rtf1" + kColors + "{\\cf1 a}b}",
                 para(span("color:#ff0000", "a") + "b")},
        HtmlCase{"FontSizeIsInHalfPoints", "{\\rtf1 \\fs24 a\\fs23 b}",
                 para(span("font-size:12pt", "a") + span("font-size:11.5pt", "b"))},
        HtmlCase{"HugeFontSizeIsClamped", "{\\rtf1 \\fs99999999999999 a}",
                 para(span("font-size:1638pt", "a"))},
        HtmlCase{"FontSizeZeroIsTheViewsSize", "{\\rtf1 \\fs30 a\\fs0 b}",
                 para(span("font-size:15pt", "a") + "b")},
        HtmlCase{"PlainResetsAllCharacterFormatting",
                 "{\\rtf1" + kColors + "\\b\\i\\ul\\cf1\\fs30 a\\plain b}",
                 para(span("font-weight:bold; font-style:italic; text-decoration:underline; color:#ff0000; "
                           "font-size:15pt",
                           "a") +
                      "b")},
        HtmlCase{"PardKeepsCharacterFormatting", "{\\rtf1 \\b a\\pard b}",
                 para(span("font-weight:bold", "ab"))},
        HtmlCase{"HiddenTextIsNotShown", "{\\rtf1 a{\\v secret}b\\v c\\v0 d}", para("abd")}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Layout, RtfToHtml,
    testing::Values(HtmlCase{"ParEndsAParagraphAndLineBreaksInIt", "{\\rtf1 a\\line b\\par c\\par}",
                             para("a<br>b") + para("c")},
                    HtmlCase{"TrailingParAddsNoEmptyParagraph", "{\\rtf1 a\\par}", para("a")},
                    HtmlCase{"ParWithNothingBeforeItIsAnEmptyLine", "{\\rtf1 a\\par\\par b}",
                             para("a") + kEmpty + para("b")},
                    HtmlCase{"LineBreakKeepsTheRunOpen", "{\\rtf1 \\b a\\line b}",
                             para(span("font-weight:bold", "a<br>b"))},
                    HtmlCase{"ParClosesTheRunAndTheNextReopensIt", "{\\rtf1 \\b a\\par b}",
                             para(span("font-weight:bold", "a")) + para(span("font-weight:bold", "b"))},
                    HtmlCase{"TabIsKept", "{\\rtf1 a\\tab b}", para("a\tb")},
                    HtmlCase{"SpacesAreKept", "{\\rtf1 a   b}", para("a   b")},
                    HtmlCase{"OneSpaceAfterAWordBelongsToIt", "{\\rtf1 \\b  a\\b0 b}",
                             para(span("font-weight:bold", " a") + "b")},
                    HtmlCase{"SourceLineBreaksAreIgnored", "{\\rtf1 a\r\nb\nc\rd}", para("abcd")},
                    HtmlCase{"BackslashAtALineEndIsAPar", "{\\rtf1 a\\\r\nb}", para("a") + para("b")},
                    HtmlCase{"SectionAndPageEndParagraphs", "{\\rtf1 a\\sect b\\page c}",
                             para("a") + para("b") + para("c")},
                    HtmlCase{"NoTextGivesNothing", "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}}", ""}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Characters, RtfToHtml,
    testing::Values(
        HtmlCase{"HexByteIsWindows1252", "{\\rtf1 caf\\'e9}", para("caf\u00E9")},
        HtmlCase{"HexByteInThe80sRangeIsNotLatin1", "{\\rtf1 \\'80 \\'93x\\'94 \\'85}",
                 para("\u20AC \u201Cx\u201D \u2026")},
        HtmlCase{"UndefinedWindows1252ByteIsReplaced", "{\\rtf1 \\'81}", para("\uFFFD")},
        HtmlCase{"HexEscapeOfMarkupIsEscaped", "{\\rtf1 \\'3c\\'26}", para("&lt;&amp;")},
        HtmlCase{"UnicodeSkipsOneFallbackCharacter", "{\\rtf1 \\u8364?5}", para("\u20AC5")},
        HtmlCase{"NegativeUnicodeIsAbove32767", "{\\rtf1 \\u-3913?}", para("\uF0B7")},
        HtmlCase{"FallbackMayBeAHexByte", "{\\rtf1 \\u8364\\'80 x}", para("\u20AC x")},
        HtmlCase{"UcZeroSkipsNothing", "{\\rtf1 \\uc0\\u8364 x}", para("\u20ACx")},
        HtmlCase{"UcTwoSkipsTwo", "{\\rtf1 \\uc2\\u8364??x}", para("\u20ACx")},
        HtmlCase{"UcEndsWithItsGroup", "{\\rtf1 {\\uc0\\u8364}\\u8364?x}", para("\u20AC\u20ACx")},
        HtmlCase{"FallbackStopsAtAGroupStart", "{\\rtf1 \\u8364{\\b x}}",
                 para("\u20AC" + span("font-weight:bold", "x"))},
        HtmlCase{"FallbackStopsAtAGroupEnd", "{\\rtf1 \\uc3{\\u8364}x}", para("\u20ACx")},
        HtmlCase{"SurrogatePairIsOneCharacter", "{\\rtf1 \\u-10179?\\u-8704?}", para("\U0001F600")},
        HtmlCase{"LoneSurrogatesAreReplaced", "{\\rtf1 \\u-10179?x\\u-8704?}", para("\uFFFDx\uFFFD")},
        HtmlCase{"UnicodeOfMarkupIsEscaped", "{\\rtf1 \\u60?\\u34?}", para("&lt;&quot;")},
        HtmlCase{"EscapedBackslashAndBraces", "{\\rtf1 \\\\ \\{x\\}}", para("\\ {x}")},
        HtmlCase{"NonBreakingSpaceAndHyphens", "{\\rtf1 a\\~b\\-c\\_d}", para("a&nbsp;b\u00ADc\u2011d")},
        HtmlCase{"TypographicWords", "{\\rtf1 \\lquote a\\rquote  \\ldblquote b\\rdblquote \\emdash\\bullet}",
                 para("\u2018a\u2019 \u201Cb\u201D\u2014\u2022")},
        HtmlCase{"MarkupInTextIsEscaped", "{\\rtf1 a<b>&\"c'}", para("a&lt;b&gt;&amp;&quot;c'")},
        HtmlCase{"UnknownWordsAreIgnored", "{\\rtf1 \\lang1033\\foo-12 a\\bar b}", para("ab")},
        HtmlCase{"MinusWithoutDigitsIsText", "{\\rtf1 \\foo-x}", para("-x")},
        HtmlCase{"RawHighBytesAreWindows1252", "{\\rtf1 caf\xE9 \x80}", para("caf\u00E9 \u20AC")},
        HtmlCase{"RawHighBytesAreUtf8WhenTheWholeTextIs", "{\\rtf1 caf\xC3\xA9}", para("caf\u00E9")},
        HtmlCase{"ControlCharactersAreDropped", bytes("{\\rtf1 a\0b\x01\x7F\\'07c}"), para("abc")}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    SkippedDestinations, RtfToHtml,
    testing::Values(
        HtmlCase{"FontTable", "{\\rtf1{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}{\\f1 Arial;}}x}", para("x")},
        HtmlCase{"StyleSheet", "{\\rtf1{\\stylesheet{\\s0 Normal;}{\\s1\\b heading 1;}}x}", para("x")},
        HtmlCase{"Info", "{\\rtf1{\\info{\\title T}{\\author A}}x}", para("x")},
        HtmlCase{"Picture", "{\\rtf1{\\pict\\wmetafile8\\picw100 0102abcdef}x}", para("x")},
        HtmlCase{"HeaderAndFooter", "{\\rtf1{\\header \\pard page head\\par}{\\footerl foot}x}", para("x")},
        HtmlCase{"IgnorableGroup", "{\\rtf1{\\*\\generator Riched20 10.0.19041;}x}", para("x")},
        HtmlCase{"UnknownIgnorableGroupWithNestedGroups", "{\\rtf1{\\*\\shpinst{\\sp{\\sn a}{\\sv b}}}x}",
                 para("x")},
        HtmlCase{"FieldShowsItsResultOnly",
                 "{\\rtf1{\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}}", para("link")},
        HtmlCase{"BinaryDataWithBracesIsSteppedOver", "{\\rtf1{\\pict\\bin6 {{}}\\'x}y}", para("y")},
        HtmlCase{"BinaryDataOutsideAPictureIsSteppedOver", "{\\rtf1 a\\bin3 <{>b}", para("ab")},
        HtmlCase{"ParInASkippedGroupAddsNoParagraph", "{\\rtf1{\\info\\par\\line}x}", para("x")},
        HtmlCase{"DestinationWordMidGroupHidesNothing", "{\\rtf1 a{\\b b\\fonttbl c}}",
                 para("a" + span("font-weight:bold", "bc"))},
        HtmlCase{"IgnorableMarkMidGroupHidesNothing", "{\\rtf1 a\\*b}", para("ab")},
        HtmlCase{"BulletTextIsShown", "{\\rtf1{\\pntext\\f0 \\'B7\\tab}{\\*\\pn\\pnlvlblt{\\pntxtb\\'B7}}x}",
                 para("\u00B7\tx")}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RichText, ReadsAWordPadDocument)
{
    const std::string rtf =
        bytes("{\\rtf1\\ansi\\ansicpg1252\\deff0\\nouicompat\\deflang1031"
              "{\\fonttbl{\\f0\\fnil\\fcharset0 Calibri;}{\\f1\\fnil\\fcharset2 Symbol;}}\r\n"
              "{\\colortbl ;\\red255\\green0\\blue0;\\red0\\green77\\blue187;}\r\n"
              "{\\*\\generator Riched20 10.0.19041}\\viewkind4\\uc1 \r\n"
              "\\pard\\sa200\\sl276\\slmult1\\b\\f0\\fs28\\lang7 Achtung\\b0\\fs22\\par\r\n"
              "Vor dem Update \\cf1\\b nicht\\cf0\\b0  ausschalten.\\par\r\n"
              "\\cf2\\i Gr\\'fc\\'dfe\\cf0\\i0 , Ihr Team\\par\r\n"
              "}\r\n\0");
    EXPECT_EQ(rtfToHtml(rtf),
              para(span("font-weight:bold; font-size:14pt", "Achtung")) +
                  para(span("font-size:11pt", "Vor dem Update ") +
                       span("font-weight:bold; color:#ff0000; font-size:11pt", "nicht") +
                       span("font-size:11pt", " ausschalten.")) +
                  para(span("font-style:italic; color:#004dbb; font-size:11pt", "Gr\u00FC\u00DFe") +
                       span("font-size:11pt", ", Ihr Team")));
}

struct MalformedCase {
    const char* label;
    std::string rtf;
    std::string text; // what the reader must still see
};

class MalformedRtf : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedRtf, ShowsTheReadableTextInWellFormedHtml)
{
    const std::string html = rtfToHtml(GetParam().rtf);
    EXPECT_EQ(shapeFault(html), "");
    EXPECT_EQ(visibleText(html), GetParam().text);
}

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MalformedRtf,
    testing::Values(
        MalformedCase{"Empty", "", ""}, MalformedCase{"NotRtfAtAll", "just <text>", "just <text>\n"},
        MalformedCase{"MissingClosingBraces", "{\\rtf1 {\\b hello {\\i there", "hello there\n"},
        MalformedCase{"ExtraClosingBraces", "{\\rtf1 a}}}} b}", "a b\n"},
        MalformedCase{"OnlyClosingBraces", "}}}}", ""},
        MalformedCase{"TruncatedControlWord", "{\\rtf1 hello\\pa", "hello\n"},
        MalformedCase{"TruncatedParameter", "{\\rtf1 hello\\fs-", "hello-\n"},
        MalformedCase{"TrailingBackslash", "{\\rtf1 hello\\", "hello\n"},
        MalformedCase{"HexEscapeAtTheEnd", "{\\rtf1 x\\'", "x\n"},
        MalformedCase{"HexEscapeWithOneDigitAtTheEnd", "{\\rtf1 x\\'4", "x\n"},
        MalformedCase{"HexEscapeWithBadDigits", "{\\rtf1 x\\'zz y}", "xzz y\n"},
        MalformedCase{"HexEscapeWithOneGoodDigit", "{\\rtf1 x\\'4} y", "x y\n"},
        MalformedCase{"HugeNumbers", "{\\rtf1 \\fs99999999999999999999\\cf99999999999999\\b99999999999 x}",
                      "x\n"},
        MalformedCase{"HugeUnicodeNumbers", "{\\rtf1 \\u99999999999?\\u-99999999?x}", "\uFFFD\uFFFDx\n"},
        MalformedCase{"NegativeParameters", "{\\rtf1 \\fs-5\\cf-3\\uc-7\\u65?x}", "A?x\n"},
        MalformedCase{"HugeFallbackCountStopsAtTheGroupEnd", "{\\rtf1 {\\uc999999999\\u65 abc}x}", "Ax\n"},
        MalformedCase{"BinaryLongerThanTheInput", "{\\rtf1 a\\bin999999999 abc}", "a\n"},
        MalformedCase{"UnclosedSkippedGroup", "{\\rtf1 a{\\fonttbl b", "a\n"},
        MalformedCase{"ColourTableWithoutSemicolons", "{\\rtf1{\\colortbl\\red255}\\cf0 x}", "x\n"},
        MalformedCase{"ColourTableLeftOpen", "{\\rtf1{\\colortbl;\\red255;\\cf1 x", ""},
        MalformedCase{"WordOfManyLetters", "{\\rtf1 \\" + repeated("b", 100000) + " x}", "x\n"},
        MalformedCase{"InvalidUtf8", "{\\rtf1 \xC3(\xFF\xE2\x82}", "\u00C3(\u00FF\u00E2\u201A\n"},
        MalformedCase{"DeepNesting", repeated("{", 100000) + "deep" + repeated("}", 100000) + " after",
                      "deep after\n"},
        MalformedCase{"DeepNestingNeverClosed", "{\\rtf1 " + repeated("{\\b ", 100000) + "deep", "deep\n"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(RichText, GroupsPastTheDepthLimitGiveBackTheKeptFormatting)
{
    // The root group and 255 more are kept; the next one is the first past the limit.
    const std::string atTheLimit = "{\\rtf1 \\i " + repeated("{", 255) + "{\\b x}y" + repeated("}", 256);
    EXPECT_EQ(rtfToHtml(atTheLimit),
              para(span("font-weight:bold; font-style:italic", "x") + span("font-style:italic", "y")));

    const std::string rtf =
        "{\\rtf1 \\b " + repeated("{", 300) + "\\b0\\i x" + repeated("}", 300) + "y" + "}";
    EXPECT_EQ(rtfToHtml(rtf), para(span("font-style:italic", "x") + span("font-weight:bold", "y")));
}

TEST(RichText, TextHiddenPastTheDepthLimitStaysHidden)
{
    const std::string rtf =
        "{\\rtf1 " + repeated("{", 300) + "a{\\*\\secret hidden{x}still}" + repeated("}", 300) + "b}";
    const std::string html = rtfToHtml(rtf);
    EXPECT_EQ(html.find("hidden"), std::string::npos);
    EXPECT_EQ(html.find("still"), std::string::npos);
    EXPECT_EQ(visibleText(html), "ab\n");
}

TEST(RichText, LargeInputsRunInLinearTime)
{
    // Each of these makes a naive reader do work per byte that grows with the input: re-scanning the
    // group stack, rebuilding the output, searching backwards for an open tag.
    const std::vector<std::string> inputs = {
        "{\\rtf1 " + repeated("{\\b x}{\\i y}", 100000) + "}",
        "{\\rtf1 " + repeated("\\u8364?\\par ", 100000) + "}",
        repeated("{", 200000) + repeated("\\b x\\b0 y", 50000),
        "{\\rtf1 {\\colortbl" + repeated(";\\red1", 100000) + ";}" + repeated("\\cf99999 x", 50000) + "}",
    };
    for (const std::string& rtf : inputs) {
        const std::string html = rtfToHtml(rtf);
        EXPECT_EQ(shapeFault(html), "");
        EXPECT_LT(html.size(), rtf.size() * 64);
    }
}

struct PlainCase {
    const char* label;
    std::string text;
    std::string want;
};

class PlainToHtml : public testing::TestWithParam<PlainCase> {};

TEST_P(PlainToHtml, KeepsTheTextAsWritten)
{
    const std::string html = plainToHtml(GetParam().text);
    EXPECT_EQ(html, GetParam().want);
    EXPECT_EQ(shapeFault(html), "");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PlainToHtml,
    testing::Values(
        PlainCase{"Empty", "", ""}, PlainCase{"OneLine", "Hello", para("Hello")},
        PlainCase{"MarkupIsEscaped", "<b>a & \"b\"</b>", para("&lt;b&gt;a &amp; &quot;b&quot;&lt;/b&gt;")},
        PlainCase{"RtfSyntaxIsJustText", "{\\b x}", para("{\\b x}")},
        PlainCase{"EachLineEndingEndsALine", "a\nb\r\nc\rd", para("a") + para("b") + para("c") + para("d")},
        PlainCase{"TrailingLineBreakAddsNoLine", "a\r\n", para("a")},
        PlainCase{"EmptyLinesAreKept", "a\n\n\nb", para("a") + kEmpty + kEmpty + para("b")},
        PlainCase{"CrLfIsOneLineBreak", "a\r\n\r\nb", para("a") + kEmpty + para("b")},
        PlainCase{"SpacesAndTabsAreKept", "  a\t b ", para("  a\t b ")},
        PlainCase{"Utf8IsKept", "Gr\u00FC\u00DFe \u20AC", para("Gr\u00FC\u00DFe \u20AC")},
        PlainCase{"ByteOrderMarkIsDropped", "\xEF\xBB\xBFHi", para("Hi")},
        PlainCase{"InvalidUtf8IsWindows1252",
                  "Gr\xFC\xDF"
                  "e \x80",
                  para("Gr\u00FC\u00DFe \u20AC")},
        PlainCase{"ControlCharactersAreDropped",
                  bytes("a\0b\x1B"
                        "c"),
                  para("abc")}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace fw
