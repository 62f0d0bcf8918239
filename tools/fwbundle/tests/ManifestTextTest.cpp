// The manifest's lines: what parsing keeps of them, and values written so that they read back unchanged.
#include "tools/fwbundle/ManifestText.h"

#include <gtest/gtest.h>

namespace {

using namespace fwbundle;

std::vector<ManifestSection> sectionsOf(std::string_view text)
{
    auto sections = parseManifest(text);
    if (const auto* error = std::get_if<ManifestError>(&sections)) {
        ADD_FAILURE() << error->line << ": " << error->text;
        return {};
    }
    return std::get<std::vector<ManifestSection>>(sections);
}

TEST(ParseManifest, KeepsSectionsEntriesAndLinesAndSkipsCommentsAndBlanks)
{
    const auto sections = sectionsOf("# heading\n"
                                     "\n"
                                     "  [ image ]  \r\n"
                                     "\tfile=main.bin\r\n"
                                     "   # indented comment\n"
                                     "name =  a = b # c  \n"
                                     "[settings]\n"
                                     "password = \"  x\\\"\\\\\\x41 \"\n"
                                     "address =");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].name, "image");
    EXPECT_EQ(sections[0].line, 3);
    ASSERT_EQ(sections[0].entries.size(), 2u);
    EXPECT_EQ(sections[0].entries[0].key, "file");
    EXPECT_EQ(sections[0].entries[0].value, "main.bin");
    EXPECT_EQ(sections[0].entries[0].line, 4);
    EXPECT_EQ(sections[0].entries[1].value, "a = b # c"); // '#' starts a comment only at the start of a line
    EXPECT_EQ(sections[0].entries[1].line, 6);
    EXPECT_EQ(sections[1].name, "settings");
    ASSERT_EQ(sections[1].entries.size(), 2u);
    EXPECT_EQ(sections[1].entries[0].value, "  x\"\\A ");
    EXPECT_EQ(sections[1].entries[1].key, "address"); // the last line needs no line end
    EXPECT_EQ(sections[1].entries[1].value, "");
}

class QuoteValue : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(QuoteValue, WritesTheValueSoThatItReadsBackUnchanged)
{
    const auto& [value, written] = GetParam();
    EXPECT_EQ(quoteValue(value), written);
    const auto sections = sectionsOf("[s]\nk = " + written + "\n");
    ASSERT_EQ(sections.size(), 1u);
    ASSERT_EQ(sections[0].entries.size(), 1u);
    EXPECT_EQ(sections[0].entries[0].value, value);
}

INSTANTIATE_TEST_SUITE_P(
    Values, QuoteValue,
    ::testing::Values(std::pair{std::string{"plain"}, std::string{"plain"}},
                      std::pair{std::string{""}, std::string{""}},
                      std::pair{std::string{"in the middle"}, std::string{"in the middle"}},
                      std::pair{std::string{"#hash"}, std::string{"#hash"}},
                      std::pair{std::string{"a\"b\\c"}, std::string{"a\"b\\c"}},
                      std::pair{std::string{" lead"}, std::string{"\" lead\""}},
                      std::pair{std::string{"trail "}, std::string{"\"trail \""}},
                      std::pair{std::string{"\"q\\"}, std::string{"\"\\\"q\\\\\""}},
                      std::pair{std::string{"tab\tnew\n"}, std::string{"\"tab\\x09new\\x0A\""}},
                      std::pair{std::string{"\x7F\x80\xFF"}, std::string{"\"\\x7F\\x80\\xFF\""}}));

} // namespace
