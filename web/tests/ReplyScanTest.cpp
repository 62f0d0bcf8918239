// The scans over reply texts, as tables of replies.
#include "web/ReplyScan.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplyScan, RedirectPortIsTheRestOfTheLineAfterTheFirstColonAndDigit)
{
    struct Row {
        const char* reply;
        std::optional<std::string> port;
    };
    const Row rows[] = {
        {"HTTP/1.1 301 Moved\r\nLocation: http://10.0.0.2:8080\r\n\r\n", "8080"},
        {"HTTP/1.1 301 Moved\r\nLocation: http://10.0.0.2:9090\r\n", "9090"}, // ports beginning with 9
        {"HTTP/1.1 301 Moved\r\nX: a:0b :2\r\n", "2"}, // ':' before 0 or a letter passed over
        {"HTTP/1.1 301 Moved\r\nLocation: :81/menu", "81/menu"},
        {"HTTP/1.1 301 Moved\r\nLocation: /menu\r\n", std::nullopt},
        {"ends with a colon:", std::nullopt},
    };
    for (const Row& row : rows) EXPECT_EQ(redirectPortText(row.reply), row.port) << row.reply;
}

TEST(ReplyScan, PortNumberTakesOnlyDigitsAndKeepsTheLow16Bits)
{
    EXPECT_EQ(portNumber("8080"), 8080);
    EXPECT_EQ(portNumber("65617"), 81);
    EXPECT_EQ(portNumber("2147483647"), 0xFFFF);
    EXPECT_EQ(portNumber("2147483648"), std::nullopt);
    EXPECT_EQ(portNumber("8080/"), std::nullopt);
    EXPECT_EQ(portNumber(""), std::nullopt);
    EXPECT_EQ(portNumber("80 "), std::nullopt);
}

TEST(ReplyScan, TagCodeIsFourCharactersAfterTheTagAndOneSeparator)
{
    EXPECT_EQ(resultTagCode("<!--CAS:8003-->"), "8003");
    EXPECT_EQ(resultTagCode("x--CAS=0003"), "0003");
    EXPECT_EQ(resultTagCode("--CAS:80"), "80");
    EXPECT_EQ(resultTagCode("--CAS"), "");
    EXPECT_EQ(resultTagCode("HTTP/1.1 200 OK\r\n\r\nno tag"), std::nullopt);
}

TEST(ReplyScan, AlertTextStopsAtTheQuoteOrAfter23Characters)
{
    EXPECT_EQ(alertText("<script>alert(\"Bad file\");</script>"), "Bad file");
    EXPECT_EQ(alertText("alert(\"The upgrade file does not fit this device\")"), "The upgrade file does n");
    EXPECT_EQ(alertText("alert"), "");
    EXPECT_EQ(alertText("none here"), "");
}

} // namespace
