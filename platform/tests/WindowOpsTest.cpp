#include "platform/WindowOps.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(WindowOps, BoxTextsPrintOnOneLine)
{
    EXPECT_EQ(oneLine("a\nb"), "a\\nb");
    EXPECT_EQ(oneLine("a\r\nb\r"), "a\\nb\\n");
    EXPECT_EQ(oneLine("plain"), "plain");
}

TEST(WindowOps, TheFirstButtonOfEachSetAccepts)
{
    EXPECT_EQ(firstButton(BoxButtons::Ok), kAnswerOk);
    EXPECT_EQ(firstButton(BoxButtons::OkCancel), kAnswerOk);
    EXPECT_EQ(firstButton(BoxButtons::YesNoCancel), kAnswerYes);
    EXPECT_EQ(firstButton(DialogButtons::Yes), kAnswerYes);
}

} // namespace
} // namespace fw
