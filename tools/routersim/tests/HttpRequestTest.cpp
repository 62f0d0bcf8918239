// tools/routersim/tests/HttpRequestTest.cpp: where a request head ends, and what its lines say.
#include "tools/routersim/HttpRequest.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace routersim {
namespace {

const std::string kHeaders = "Accept-Language: zh-tw\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                             "Accept-Encoding: gzip, deflate\r\n"
                             "User-Agent: Mozilla/4.0 (Compatible; MSIE 5.0; Windows 98; DigExt)\r\n"
                             "Connection: Keep-Alive\r\n\r\n";
const std::string kLoginLine = "GET /cgi-bin/logi?rc=@&PSW=admin&rd=menu HTTP/1.1\r\n";
const std::string kLogin = kLoginLine + "\r\n" + kHeaders;

struct EndCase {
    const char* label;
    std::string bytes;
    std::optional<std::size_t> want;
};
void PrintTo(const EndCase& c, std::ostream* os)
{
    *os << c.label;
}

class HeadEnd : public testing::TestWithParam<EndCase> {};

TEST_P(HeadEnd, IsTheBlankLineAfterTheHeaders)
{
    EXPECT_EQ(findHeadEnd(GetParam().bytes), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HeadEnd,
    testing::Values(
        EndCase{"LoginWithAnEmptyLineAfterItsRequestLine", kLogin, kLogin.size()},
        EndCase{"LoginCutAtItsFirstBlankLineIsNotWhole", kLoginLine + "\r\n", std::nullopt},
        EndCase{"LoginCutInsideItsHeadersIsNotWhole", kLogin.substr(0, kLogin.size() - 2), std::nullopt},
        EndCase{"LoginRetryWithRdBegin", kLoginLine + "rd=begin\r\n" + kHeaders,
                kLoginLine.size() + 10 + kHeaders.size()},
        EndCase{"UploadHeadEndsBeforeItsBody", "POST /upg HTTP/1.0\r\nContent-Length: 5\r\n\r\n-----\r\n\r\n",
                41},
        EndCase{"HeadWithoutHeadersWaitsForMore", "GET / HTTP/1.0\r\n\r\n", std::nullopt},
        EndCase{"DataImageRequestEndsAtItsBlankLine", "GET /config.bin?O=256&L=16 HTTP/1.1\r\n\r\n", 39},
        EndCase{"DataImageRequestWithHeadersEndsAfterThem",
                "GET /config.bin?O=1&L=2 HTTP/1.1\r\nHost: a\r\n\r\n", 45},
        EndCase{"DataImageRequestLineAloneIsNotWhole", "GET /config.bin?O=1&L=2 HTTP/1.1\r\n", std::nullopt},
        EndCase{"BareLineFeedsEndLinesToo", "GET / HTTP/1.0\nHost: a\n\n", 24},
        EndCase{"NothingYet", "GET / HTT", std::nullopt}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(ParseHead, KeepsTheLoginsExtraLineApartFromItsHeaders)
{
    const ParsedHead empty = parseHead(kLogin);
    ASSERT_EQ(empty.error, "");
    EXPECT_EQ(empty.request.prelude, std::vector<std::string>{""});
    EXPECT_EQ(empty.request.headers.size(), 5u);

    const ParsedHead retry = parseHead(kLoginLine + "rd=begin\r\n" + kHeaders);
    ASSERT_EQ(retry.error, "");
    EXPECT_EQ(retry.request.prelude, std::vector<std::string>{"rd=begin"});

    const ParsedHead bare = parseHead("GET / HTTP/1.0\r\n\r\n");
    ASSERT_EQ(bare.error, "");
    EXPECT_TRUE(bare.request.prelude.empty()); // its blank line ends the head
}

TEST(ParseHead, TakesATargetWithBlanksWholeAndHeadersByAnyCase)
{
    const ParsedHead parsed = parseHead("GET /cgi-bin/logi?rc=@&PSW=my pass word&rd=menu HTTP/1.1\r\n"
                                        "content-length:   12\r\nX: a: b\r\n\r\n");
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.request.method, "GET");
    EXPECT_EQ(parsed.request.target, "/cgi-bin/logi?rc=@&PSW=my pass word&rd=menu");
    EXPECT_EQ(parsed.request.version, "HTTP/1.1");
    ASSERT_NE(parsed.request.header("Content-Length"), nullptr);
    EXPECT_EQ(*parsed.request.header("Content-Length"), "12");
    EXPECT_EQ(*parsed.request.header("x"), "a: b");
    EXPECT_EQ(parsed.request.header("Host"), nullptr);
}

struct BadHeadCase {
    const char* label;
    std::string head;
    std::string wantInError;
};
void PrintTo(const BadHeadCase& c, std::ostream* os)
{
    *os << c.label;
}

class BadHead : public testing::TestWithParam<BadHeadCase> {};

TEST_P(BadHead, IsRefusedWithItsReason)
{
    const ParsedHead parsed = parseHead(GetParam().head);
    EXPECT_NE(parsed.error.find(GetParam().wantInError), std::string::npos) << parsed.error;
}

INSTANTIATE_TEST_SUITE_P(
    Heads, BadHead,
    testing::Values(BadHeadCase{"RequestLineOfTwoParts", "GET /\r\nA: b\r\n\r\n",
                                "not METHOD TARGET VERSION"},
                    BadHeadCase{"RequestLineEndingInABlank", "GET / \r\nA: b\r\n\r\n", "not METHOD TARGET"},
                    BadHeadCase{"VersionNotHttp1", "GET / HTTP/2.0\r\nA: b\r\n\r\n", "'HTTP/2.0'"},
                    BadHeadCase{"LineAmongTheHeadersThatIsNoHeader",
                                "GET / HTTP/1.1\r\nA: b\r\nnoise\r\n\r\n", "line 3 is no header"}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace routersim
