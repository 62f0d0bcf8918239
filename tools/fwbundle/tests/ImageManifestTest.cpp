// [image] sections: the attribute word and record name each makes, and the words list prints.
#include "tools/fwbundle/ImageManifest.h"

#include <gtest/gtest.h>

namespace {

using namespace fwbundle;

Parsed<ImageEntry> imageOf(const std::string& lines)
{
    auto sections = parseManifest("[image]\n" + lines);
    if (const auto* error = std::get_if<ManifestError>(&sections)) return *error;
    return parseImage(std::get<std::vector<ManifestSection>>(sections).front());
}

struct ImageCase {
    const char* label;
    std::string lines;
    std::uint16_t attribute;
    std::string name = "main.bin";
};

class ImageSection : public ::testing::TestWithParam<ImageCase> {};

TEST_P(ImageSection, MakesItsAttributeWordAndName)
{
    const auto image = imageOf(GetParam().lines);
    ASSERT_TRUE(std::holds_alternative<ImageEntry>(image)) << std::get<ManifestError>(image).text;
    EXPECT_EQ(std::get<ImageEntry>(image).attribute, GetParam().attribute);
    EXPECT_EQ(std::get<ImageEntry>(image).name, GetParam().name);
}

const std::string k31(31, 'n');

INSTANTIATE_TEST_SUITE_P(
    Sections, ImageSection,
    ::testing::Values(ImageCase{"EveryMethodForAnyModel",
                                "file = main.bin\nmethods = http ftp tftp\nmodels = any\n", 0x080D},
                      ImageCase{"DefaultsAreEveryMethodForAnyModel", "file = main.bin\n", 0x080D},
                      ImageCase{"TftpOnly", "file = main.bin\nmethods = tftp\nmodels = any\n", 0x0809},
                      ImageCase{"HttpAndFtpOnly", "file = main.bin\nmethods = ftp http\n", 0x0805},
                      ImageCase{"AllMethods", "file = main.bin\nmethods = all\n", 0x080D},
                      ImageCase{"MatchingModelsInSectionOne",
                                "file = main.bin\nmethods = http ftp tftp\nmodels = matching\n"
                                "section = 1\n",
                                0x081E},
                      ImageCase{"BothModels", "file = main.bin\nmodels = both\n", 0x080F},
                      ImageCase{"TheLastSection", "file = main.bin\nsection = 15\n", 0x08FD},
                      ImageCase{"KeepName", "file = main.bin\nkeep-name = yes\n", 0x090D},
                      ImageCase{"KeepNameNo", "file = main.bin\nkeep-name = no\n", 0x080D},
                      ImageCase{"TheBaseNameOfAPath", "file = ../images/main.bin\n", 0x080D},
                      ImageCase{"ANameOfItsOwn", "file = images/fw-1.2.bin\nname = main.bin\n", 0x080D},
                      ImageCase{"ANameOfThirtyOne", "file = main.bin\nname = " + k31 + "\n", 0x080D, k31}),
    [](const auto& info) { return std::string(info.param.label); });

struct WordsCase {
    const char* label;
    std::uint16_t attribute;
    std::string want;
};

class AttributeWords : public ::testing::TestWithParam<WordsCase> {};

TEST_P(AttributeWords, NameTheRecordsKindAndBits)
{
    EXPECT_EQ(describeAttribute(GetParam().attribute), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Words, AttributeWords,
    ::testing::Values(
        WordsCase{"AChosenFile", 0x080D,
                  "[image] methods = http ftp tftp, models = any, section = 0, keep-name = no"},
        WordsCase{"ATftpImage", 0x0809, "[image] methods = tftp, models = any, section = 0, keep-name = no"},
        WordsCase{"AMatchingImageOfSectionOne", 0x081E,
                  "[image] methods = http ftp tftp, models = matching, section = 1, keep-name = no"},
        WordsCase{"ABothModelsImageOfTheLastSectionKeepingItsName", 0x09F7,
                  "[image] methods = http ftp, models = both, section = 15, keep-name = yes"},
        WordsCase{"AnImageNoMethodOrModelTakes", 0x0800,
                  "[image] methods = none, models = none, section = 0, keep-name = no"},
        WordsCase{"AnImageWithUnnamedBits", 0xEA0D,
                  "[image] methods = http ftp tftp, models = any, section = 0, keep-name = no, "
                  "other bits = 0xE200"},
        WordsCase{"TheSettings", 0x1000, "[settings]"},
        WordsCase{"SettingsMarkedAsImageToo", 0x180D, "[settings] other bits = 0x080D"},
        WordsCase{"AMessageForAnyModel", 0x0401, "[message] models = any"},
        WordsCase{"AMessageForMatchingModels", 0x0402, "[message] models = matching"},
        WordsCase{"AMessageForBothModels", 0x0403, "[message] models = both"},
        WordsCase{"AMessageMarkedAsImageToo", 0x0C00, "[message] models = none, other bits = 0x0800"},
        WordsCase{"AMessageWithSectionBits", 0x04F1, "[message] models = any, other bits = 0x00F0"},
        WordsCase{"NoKindAtAll", 0x0000, "(no image, message or settings bit)"}),
    [](const auto& info) { return std::string(info.param.label); });

// Every word an [image] section can make, told in words and read back as a section, makes itself.
TEST(AttributeWords, OfEveryImageWordReadBackAsASectionMakeTheSameWord)
{
    for (const std::string methods : {"http ftp tftp", "http ftp", "tftp"}) {
        for (const std::string models : {"any", "matching", "both"}) {
            for (int section = 0; section < 16; ++section) {
                for (const std::string keep : {"yes", "no"}) {
                    const auto image =
                        imageOf("file = a\nmethods = " + methods + "\nmodels = " + models +
                                "\nsection = " + std::to_string(section) + "\nkeep-name = " + keep);
                    const std::uint16_t word = std::get<ImageEntry>(image).attribute;
                    std::string lines = describeAttribute(word).substr(std::string{"[image] "}.size());
                    for (std::size_t comma; (comma = lines.find(", ")) != std::string::npos;)
                        lines.replace(comma, 2, "\n");
                    const auto again = imageOf("file = a\n" + lines + "\n");
                    ASSERT_TRUE(std::holds_alternative<ImageEntry>(again)) << lines;
                    EXPECT_EQ(std::get<ImageEntry>(again).attribute, word) << lines;
                }
            }
        }
    }
}

} // namespace
