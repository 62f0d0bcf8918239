// tools/routersim/tests/WebInterfaceTest.cpp: what a device's web interface answers each request of
// fwupgrade's client, judged the way that client judges replies, and what it remembers between them.
#include "tools/routersim/WebInterface.h"
#include "tools/routersim/HttpRequest.h"
#include "tools/routersim/RequestShapes.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

namespace routersim {
namespace {

constexpr char kAddress[] = "192.168.0.1";
constexpr std::uint32_t kClientA = 0x0A4D0002;
constexpr std::uint32_t kClientB = 0x0A4D0003;

const std::string kForm = "Accept-Language: zh-tw\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                          "Accept-Encoding: gzip, deflate\r\n"
                          "User-Agent: Mozilla/4.0 (Compatible; MSIE 5.0; Windows 98; DigExt)\r\n"
                          "Connection: Keep-Alive\r\n\r\n";

std::string login(const std::string& password, const std::string& extra = "")
{
    return "GET /cgi-bin/logi?rc=@&PSW=" + password + "&rd=menu HTTP/1.1\r\n" + extra + "\r\n" + kForm;
}
const std::string kIndex = "GET / HTTP/1.1\r\n" + kForm;
std::string basic(const std::string& authorization)
{
    return "GET / HTTP/1.1\r\nAccept: image/gif, image/x-xbitmap, image/jpeg,image/pjpeg, */*\r\n"
           "Accept-Language: zh-tw\r\nAccept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (Compatible; MSIE 6.0; Windows NT; 5.1)\r\nHost: 192.168.0.1\r\n"
           "Connection: Keep-Alive\r\nAuthorization: " +
           authorization + "\r\n\r\n";
}

// The client's reading of a redirect: the first ':' followed by a digit 1-9, up to the next CR or the end,
// all digits.
std::optional<int> redirectPort(const std::string& reply)
{
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
        if (reply[i] != ':' || reply[i + 1] < '1' || reply[i + 1] > '9') continue;
        const std::string port = reply.substr(i + 1, reply.find('\r', i) - i - 1);
        for (char c : port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        }
        return std::stoi(port);
    }
    return std::nullopt;
}

struct Ask {
    std::string request;
    std::uint16_t port = kWebPort;
    std::uint32_t client = kClientA;
};

WebAnswer ask(WebInterface& web, const Ask& a)
{
    const ParsedHead parsed = parseHead(a.request);
    EXPECT_EQ(parsed.error, "");
    return web.onRequest(parsed.request, a.request, {a.client, a.port});
}

struct Want {
    std::vector<std::string> in; // substrings of the reply
    std::vector<std::string> notIn = {};
    std::optional<int> redirect = {}; // the port the client reads from a 301
};

struct SequenceCase {
    const char* label;
    WebSettings settings;
    std::vector<std::pair<Ask, Want>> steps;
};
void PrintTo(const SequenceCase& c, std::ostream* os)
{
    *os << c.label;
}

class WebSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(WebSequence, AnswersEachRequestAsTheClientReadsIt)
{
    WebInterface web{GetParam().settings, kAddress, "XY"};
    std::size_t step = 0;
    for (const auto& [request, want] : GetParam().steps) {
        ++step;
        const WebAnswer answer = ask(web, request);
        EXPECT_TRUE(answer.protocolErrors.empty())
            << "step " << step << ": " << answer.protocolErrors.front();
        ASSERT_TRUE(answer.reply) << "step " << step;
        const std::string& reply = answer.reply->bytes;
        for (const std::string& s : want.in)
            EXPECT_NE(reply.find(s), std::string::npos) << "step " << step << ": " << s << "\n" << reply;
        for (const std::string& s : want.notIn)
            EXPECT_EQ(reply.find(s), std::string::npos) << "step " << step << ": " << s << "\n" << reply;
        if (want.redirect) {
            EXPECT_EQ(redirectPort(reply), want.redirect) << "step " << step << "\n" << reply;
        }
    }
}

WebSettings with(void (*change)(WebSettings&))
{
    WebSettings settings;
    settings.password = "secret";
    change(settings);
    return settings;
}

const Want kOk{{" 200 OK"}, {"alert", "--CAS"}};
const Want kTagRight{{" 200 OK", "<!--CAS:8003-->"}};
const Want kTagWrong{{" 200 OK", "<!--CAS:0003-->"}};

INSTANTIATE_TEST_SUITE_P(
    Logins, WebSequence,
    testing::Values(
        SequenceCase{"NewKindTagsTheIndexAfterTheLogin",
                     with([](WebSettings&) {}),
                     {{{login("secret")}, kOk},
                      {{kIndex}, kTagRight},
                      {{login("Secret")}, kOk}, // a new device's login reply is alike either way
                      {{kIndex}, kTagWrong}}},
        SequenceCase{"IndexWithoutALoginIsWrong", with([](WebSettings&) {}), {{{kIndex}, kTagWrong}}},
        SequenceCase{"LoginsAreRememberedByClientAddress",
                     with([](WebSettings&) {}),
                     {{{login("secret"), kWebPort, kClientA}, kOk},
                      {{login("wrong"), kWebPort, kClientB}, kOk},
                      {{kIndex, kWebPort, kClientA}, kTagRight},
                      {{kIndex, kWebPort, kClientB}, kTagWrong}}},
        SequenceCase{
            "PasswordIsComparedExactly",
            with([](WebSettings& s) { s.password = "a b&c"; }),
            {{{login("a b&c")}, kOk}, {{kIndex}, kTagRight}, {{login("a b")}, kOk}, {{kIndex}, kTagWrong}}},
        SequenceCase{"OldKindAlertsAWrongPasswordAndTagsNothing",
                     with([](WebSettings& s) { s.kind = WebKind::Old; }),
                     {{{login("secret")}, kOk},
                      {{kIndex}, kOk},
                      {{login("nope")}, {{" 200 OK", "<script>alert(\""}, {"--CAS"}}},
                      {{kIndex}, kOk}}},
        SequenceCase{"BasicKindAsksForAuthorizationAndChecksIt",
                     with([](WebSettings& s) { s.kind = WebKind::Basic; }),
                     {{{login("secret")}, kOk},
                      {{kIndex}, {{"HTTP/1.1 401 Unauthorized\r\n", "WWW-Authenticate: Basic realm="}}},
                      {{basic("Basic YWRtaW46c2VjcmV0")}, kOk},                       // admin:secret
                      {{basic("Basic YWRtaW46c2VjcmV1")}, {{"401 "}, {" 200 OK"}}},   // admin:secreu
                      {{basic("Basic cm9vdDpzZWNyZXQ=")}, {{"401 "}, {" 200 OK"}}}}}, // root:secret
        SequenceCase{
            "RedirectNamesThePortAtTheEndOfItsLine",
            with([](WebSettings& s) { s.redirectPort = 8080; }),
            {{{login("secret")}, {{"HTTP/1.1 301 ", "Location: http://192.168.0.1:8080\r\n"}, {}, 8080}},
             {{login("secret"), 8080}, kOk},
             {{kIndex, 8080}, kTagRight},
             {{kIndex}, kTagRight}}},
        SequenceCase{"RedirectForeverGoesRoundTheRing",
                     with([](WebSettings& s) { s.redirectForever = true; }),
                     {{{login("secret")}, {{"301 "}, {}, 8081}},
                      {{login("secret"), 8081}, {{"301 "}, {}, 8082}},
                      {{login("secret"), 8089}, {{"301 "}, {}, 8090}},
                      {{login("secret"), 8090}, {{"301 "}, {}, 8081}},
                      {{kIndex}, kTagWrong}}}, // no login was ever served
        SequenceCase{"Login404OnceThenTheRetryIsServed",
                     with([](WebSettings& s) { s.login404Once = true; }),
                     {{{login("secret")}, {{"HTTP/1.1 404 Not Found\r\n"}}},
                      {{login("secret", "rd=begin")}, kOk},
                      {{kIndex}, kTagRight},
                      {{login("bad")}, kOk},
                      {{kIndex}, kTagWrong}}},
        SequenceCase{"RdBeginIsNeverRefused",
                     with([](WebSettings& s) { s.login404Once = true; }),
                     {{{login("secret", "rd=begin")}, kOk}, {{login("secret")}, {{" 404 "}}}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(WebRedirect, IsReadByTheClientFromTheFirstColonBeforeADigit)
{
    WebSettings settings;
    settings.redirectPort = 8080;
    WebInterface web{settings, kAddress, "Module:1"}; // a module name is nowhere in a redirect
    const WebAnswer answer = ask(web, {login("admin")});
    ASSERT_TRUE(answer.reply);
    EXPECT_EQ(redirectPort(answer.reply->bytes), 8080) << answer.reply->bytes;
}

struct ShapeCase {
    const char* label;
    std::string request;
    std::string wantError;
};
void PrintTo(const ShapeCase& c, std::ostream* os)
{
    *os << c.label;
}

class RequestShape : public testing::TestWithParam<ShapeCase> {};

TEST_P(RequestShape, DifferenceFromTheClientsBytesIsAProtocolError)
{
    WebSettings settings;
    WebInterface web{settings, kAddress, "XY"};
    const WebAnswer answer = ask(web, {GetParam().request});
    ASSERT_EQ(answer.protocolErrors.size(), 1u);
    EXPECT_NE(answer.protocolErrors[0].find(GetParam().wantError), std::string::npos)
        << answer.protocolErrors[0];
    EXPECT_TRUE(answer.reply || answer.upload); // answered all the same
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    text.replace(text.find(from), from.size(), to);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, RequestShape,
    testing::Values(
        ShapeCase{"LoginWithoutItsEmptyLine", replaced(login("admin"), "HTTP/1.1\r\n\r\n", "HTTP/1.1\r\n"),
                  "login request line 2 is \"Accept-Language: zh-tw\\r\\n\", want \"\\r\\n\""},
        ShapeCase{"LoginOfAnotherLanguage", replaced(login("admin"), "zh-tw", "en"),
                  "login request line 3 is \"Accept-Language: en\\r\\n\""},
        ShapeCase{"LoginWithoutItsLastHeader", replaced(login("admin"), "Connection: Keep-Alive\r\n", ""),
                  "login request line 7 is \"\\r\\n\", want \"Connection: Keep-Alive\\r\\n\""},
        ShapeCase{"LoginWithAnotherExtraLine", login("admin", "rd=start"),
                  "login request line 2 is \"rd=start"},
        ShapeCase{"LoginWithTheQueryInAnotherOrder",
                  replaced(login("admin"), "rc=@&PSW=admin&rd=menu", "PSW=admin&rc=@&rd=menu"),
                  "login request line 1 is"},
        ShapeCase{"IndexWithABareLineFeed", replaced(kIndex, "gzip, deflate\r\n", "gzip, deflate\n"),
                  "index request line 4 is \"Accept-Encoding: gzip, deflate\\n\""},
        ShapeCase{"BasicNamingAnotherHost",
                  replaced(basic("Basic YWRtaW46YWRtaW4="), "192.168.0.1", "10.0.0.1"),
                  "authorization request line 6 is \"Host: 10.0.0.1\\r\\n\""},
        ShapeCase{"UploadWithTheStandardSemicolon",
                  "POST /upg HTTP/1.0\r\nUser-Agent: Tesmora_Agent\r\nConnection: Keep-Alive\r\n"
                  "Content-Type: multipart/form-data; boundary=-----------------123456789\r\n"
                  "Content-Length: 200\r\n\r\n",
                  "upload request line 4 is"},
        ShapeCase{"UploadAsHttp11",
                  "POST /upg HTTP/1.1\r\nUser-Agent: Tesmora_Agent\r\nConnection: Keep-Alive\r\n"
                  "Content-Type: multipart/form-data: boundary=-----------------123456789\r\n"
                  "Content-Length: 200\r\n\r\n",
                  "upload request line 1 is"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(WebUpload, ReadsTheClientsHeadAsTheDevicesFormWithItsLength)
{
    WebSettings settings;
    WebInterface web{settings, kAddress, "XY"};
    const WebAnswer answer = ask(web, {uploadHead("16777363")});
    EXPECT_TRUE(answer.protocolErrors.empty()) << answer.protocolErrors.front();
    ASSERT_TRUE(answer.upload);
    EXPECT_FALSE(answer.reply); // the verdict waits for the body
    EXPECT_EQ(answer.upload->form, UploadBody::Form::Device);
    EXPECT_EQ(answer.upload->contentLength, 16777363u);
    EXPECT_FALSE(answer.upload->sendContinue);
}

TEST(WebUpload, ReadsACurlUploadAsAStandardOneThatWaitsForContinue)
{
    WebSettings settings;
    WebInterface web{settings, kAddress, "XY"};
    const WebAnswer answer =
        ask(web, {"POST /upg HTTP/1.1\r\nHost: 192.168.0.1\r\nUser-Agent: curl/7.88.1\r\n"
                  "Accept: */*\r\nContent-Length: 2097371\r\n"
                  "Content-Type: multipart/form-data; boundary=------------------------abc\r\n"
                  "Expect: 100-continue\r\n\r\n"});
    EXPECT_TRUE(answer.protocolErrors.empty());
    ASSERT_TRUE(answer.upload);
    EXPECT_EQ(answer.upload->form, UploadBody::Form::Standard);
    EXPECT_EQ(answer.upload->boundary, "------------------------abc");
    EXPECT_EQ(answer.upload->contentLength, 2097371u);
    EXPECT_TRUE(answer.upload->sendContinue);
}

TEST(WebUpload, WithoutAContentLengthIsRefused)
{
    WebSettings settings;
    WebInterface web{settings, kAddress, "XY"};
    const WebAnswer answer = ask(web, {"POST /upg HTTP/1.0\r\nUser-Agent: Tesmora_Agent\r\n\r\n"});
    EXPECT_FALSE(answer.upload);
    ASSERT_TRUE(answer.reply);
    EXPECT_NE(answer.reply->bytes.find(" 411 "), std::string::npos);
    ASSERT_EQ(answer.protocolErrors.size(), 1u);
}

struct VerdictCase {
    const char* label;
    Verdict verdict;
    std::vector<std::string> in;
    std::vector<std::string> notIn;
};
void PrintTo(const VerdictCase& c, std::ostream* os)
{
    *os << c.label;
}

class UploadVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(UploadVerdict, IsShapedForTheClientsSearch)
{
    WebSettings settings;
    settings.verdict = GetParam().verdict;
    const std::string reply = WebInterface{settings, kAddress, "XY"}.verdict().bytes;
    EXPECT_LE(reply.size(), kMaxVerdictLength);
    for (const std::string& s : GetParam().in)
        EXPECT_NE(reply.find(s), std::string::npos) << s << "\n" << reply;
    for (const std::string& s : GetParam().notIn)
        EXPECT_EQ(reply.find(s), std::string::npos) << s << "\n" << reply;
}

INSTANTIATE_TEST_SUITE_P(
    Verdicts, UploadVerdict,
    testing::Values(
        VerdictCase{"Success", {}, {" 200 OK", "<!--CAS:8000-->"}, {"alert"}},
        VerdictCase{"UnallowableFile", {Verdict::Form::Tag, "8002", "", 0}, {"<!--CAS:8002-->"}, {"8000"}},
        VerdictCase{"PlainOk", {Verdict::Form::Plain, "", "", 0}, {" 200 OK"}, {"--CAS", "alert"}},
        VerdictCase{"Alert",
                    {Verdict::Form::Alert, "", "Wrong model"},
                    {" 200 OK", "<script>alert(\"Wrong model\")</script>"},
                    {"--CAS"}},
        VerdictCase{
            "Status503", {Verdict::Form::Status, "", "", 503}, {"HTTP/1.1 503 "}, {"--CAS", " 200 "}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(UploadVerdict, LongOneIsOneByteBeyondWhatTheClientReadsAndEndsInTheTag)
{
    WebSettings settings;
    settings.verdict.form = Verdict::Form::Long;
    const std::string reply = WebInterface{settings, kAddress, "XY"}.verdict().bytes;
    EXPECT_EQ(reply.size(), kMaxVerdictLength + 1);
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_TRUE(reply.ends_with("--CAS:8000"));
    EXPECT_EQ(reply.substr(0, kMaxVerdictLength).find("--CAS:8000"), std::string::npos);
    const std::size_t body = reply.find("\r\n\r\n") + 4;
    EXPECT_NE(reply.find("Content-Length: " + std::to_string(reply.size() - body) + "\r\n"),
              std::string::npos);
}

TEST(WebFaults, CloseEarlyAndKeepOpenApplyToTheirRequestOnly)
{
    WebSettings settings;
    settings.closeEarly.add(WebRequest::Index);
    settings.keepOpen.add(WebRequest::Login);
    settings.keepOpen.add(WebRequest::Upload);
    WebInterface web{settings, kAddress, "XY"};
    const WebAnswer loginAnswer = ask(web, {login("admin")});
    EXPECT_TRUE(loginAnswer.reply && loginAnswer.keepOpen && !loginAnswer.closeEarly);
    const WebAnswer index = ask(web, {kIndex});
    EXPECT_TRUE(!index.reply && index.closeEarly && !index.keepOpen);
    const WebAnswer upload = ask(web, {uploadHead("147")});
    EXPECT_TRUE(upload.upload && upload.keepOpen && !upload.closeEarly);
}

} // namespace
} // namespace routersim
