// The offset and length texts of a device data download, as a table.
#include "app/NumberText.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberText, ValueAndPassedOnTextOfEachForm)
{
    struct Row {
        const char* text;
        std::int32_t value;
        const char* passedOn;
    };
    const Row rows[] = {
        {"4096", 4096, "4096"},
        {"0x100", 256, "100"},
        {"0X1f", 31, "1f"},
        {"0x", 0, ""},
        {"  -12", -12, "  -12"},
        {"+7", 7, "+7"},
        {"12ab", 12, "12ab"},
        {"abc", 0, "abc"},
        {"", 0, ""},
        {"0xFFFFFFFF", -1, "FFFFFFFF"},
        {"0x1g", 1, "1g"},
        {"1x2", 2, "2"},
    };
    for (const Row& row : rows) {
        const NumberText got = readNumberText(row.text);
        EXPECT_EQ(got.value, row.value) << row.text;
        EXPECT_EQ(got.passedOn, row.passedOn) << row.text;
    }
}

} // namespace
