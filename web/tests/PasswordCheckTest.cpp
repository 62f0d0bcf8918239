// The password check against scripted devices on loopback: one script per row, the result code, the
// log line that explains it, the requests sent, and the window's upgrade method afterwards.
#include "web/PasswordCheck.h"
#include "web/tests/FakeDevice.h"
#include "web/tests/WindowRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using webtest::Answer;
using webtest::FakeDevice;
using webtest::reply;
using webtest::WindowRecorder;

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
const std::string kAccepted = kOk + "<html><!--CAS:8003--></html>";

struct CheckRun {
    int result = 0;
    WindowRecorder window;
    std::uint16_t method = 0;
    std::vector<std::string> requests;
};

void runCheck(CheckRun& run, FakeDevice& device, const std::string& password = "pw", std::uint16_t method = 2)
{
    run.method = method;
    LoginWindow login{run.window, run.window, run.method, device.port()};
    run.result = CheckPassword(password, "127.0.0.1", login);
    device.waitDone();
    run.requests = device.requests();
}

TEST(PasswordCheck, RequestBytesOfTheLoginTheRetryAndTheIndex)
{
    const std::string headers =
        "Accept-Language: zh-tw\r\nContent-Type: application/x-www-form-urlencoded\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "User-Agent: Mozilla/4.0 (Compatible; MSIE 5.0; Windows 98; DigExt)\r\n"
        "Connection: Keep-Alive\r\n\r\n";
    EXPECT_EQ(loginRequest("", ""), "GET /cgi-bin/logi?rc=@&PSW=&rd=menu HTTP/1.1\r\n\r\n" + headers);
    EXPECT_EQ(loginRequest("a&b c", "rd=begin"),
              "GET /cgi-bin/logi?rc=@&PSW=a&b c&rd=menu HTTP/1.1\r\nrd=begin\r\n" + headers);
    EXPECT_EQ(indexRequest(), "GET / HTTP/1.1\r\n" + headers);
    EXPECT_EQ(basicAuthRequest("10.0.0.2", "YWRtaW46"),
              "GET / HTTP/1.1\r\nAccept: image/gif, image/x-xbitmap, image/jpeg,image/pjpeg, */*\r\n"
              "Accept-Language: zh-tw\r\nAccept-Encoding: gzip, deflate\r\n"
              "User-Agent: Mozilla/4.0 (Compatible; MSIE 6.0; Windows NT; 5.1)\r\nHost: 10.0.0.2\r\n"
              "Connection: Keep-Alive\r\nAuthorization: Basic YWRtaW46\r\n\r\n");
}

TEST(PasswordCheck, EncodeBase64PadsToWholeGroups)
{
    EXPECT_EQ(EncodeBase64(""), "");
    EXPECT_EQ(EncodeBase64("a"), "YQ==");
    EXPECT_EQ(EncodeBase64("ab"), "YWI=");
    EXPECT_EQ(EncodeBase64("abc"), "YWJj");
    EXPECT_EQ(EncodeBase64("admin:"), "YWRtaW46");
    EXPECT_EQ(EncodeBase64("\xff\xfe"), "//4=");
}

TEST(PasswordCheck, ResultOfEachScriptedDevice)
{
    struct Row {
        const char* name;
        std::vector<Answer> script;
        int result; // kPort: the device's port
        const char* logLine;
        std::uint16_t methodBefore = 2, methodAfter = 2;
        std::size_t boxes = 0;
    };
    constexpr int kPort = 1;
    const Row rows[] = {
        {"new device, right password",
         {reply(kOk), reply(kAccepted)},
         kPort,
         "Login password correct in New version"},
        {"new device, wrong password",
         {reply(kOk), reply(kOk + "<!--CAS:0003-->")},
         kLoginRejected,
         "Login password error in New version"},
        {"unknown tag code",
         {reply(kOk), reply(kOk + "<!--CAS:8001-->")},
         kLoginReceiveError,
         "unknow error code : 8001"},
        {"tag cut short",
         {reply(kOk), reply(kOk + "<!--CAS:80")},
         kLoginReceiveError,
         "unknow error code : 80"},
        {"older device with an alert",
         {reply(kOk + "<script>alert(\"Password error\")</script>"), reply(kOk + "<html></html>")},
         kLoginRejected,
         "Login password error in Old version",
         2,
         3},
        {"older device after a failed FTP run",
         {reply(kOk), reply(kOk + "<html></html>")},
         kPort,
         "Try to use HTTP Mode to upgrade ",
         133,
         2},
        {"login program missing twice",
         {reply("HTTP/1.1 404 Not Found\r\n\r\n"), reply("HTTP/1.1 404 Not Found\r\n\r\n")},
         kLoginNoCgi,
         "NO CGI Found in send login"},
        {"index asks for authorization",
         {reply(kOk), reply("HTTP/1.1 401 Unauthorized\r\n\r\n")},
         kLoginAsksAuth,
         "Peer ask for win-authentication"},
        {"index bad request",
         {reply(kOk), reply("HTTP/1.1 400 Bad Request\r\n\r\n")},
         kLoginBadRequest,
         "Bad request in send get index",
         2,
         2,
         1},
        {"index missing",
         {reply(kOk), reply("HTTP/1.1 404 Not Found\r\n\r\n")},
         kLoginNoCgi,
         "NO CGI Found in send get index"},
        {"index redirected",
         {reply(kOk), reply("HTTP/1.1 301 Moved\r\n\r\n")},
         kLoginBadPort,
         "unexpect port number error in send get_index PKT"},
        {"index not complete last time",
         {reply(kOk), reply("HTTP/1.1 503 Busy\r\n\r\n<!--CAS:8003-->")},
         kPort,
         "Upgrade Not Complete at last time in send get index"},
        {"login not complete last time",
         {reply("HTTP/1.1 503 Busy\r\n\r\n"), reply(kAccepted)},
         kPort,
         "Upgrade Not Complete at last time in send login"},
        {"login bad request",
         {reply("HTTP/1.1 400 Bad Request\r\n\r\n"), reply(kAccepted)},
         kPort,
         "Bad request in send login",
         2,
         2,
         1},
        {"login with another status",
         {reply("HTTP/1.1 302 Found\r\n\r\n")},
         kLoginReceiveError,
         "Receive login PKT error in send login"},
        {"login closed without a reply", {reply("")}, kLoginReceiveError, "Read Data error!"},
        {"index closed without a reply",
         {reply(kOk), reply("")},
         kLoginReceiveError,
         "receive response error 1 in send index"},
        {"redirect without a port",
         {reply("HTTP/1.1 301 Moved\r\nLocation: /menu\r\n\r\n"), reply(kAccepted)},
         kPort,
         "Login password correct in New version"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeDevice device{row.script};
        CheckRun run;
        runCheck(run, device, "pw", row.methodBefore);
        EXPECT_EQ(run.result, row.result == kPort ? device.port() : row.result);
        EXPECT_TRUE(run.window.logged(row.logLine)) << ::testing::PrintToString(run.window.log);
        EXPECT_EQ(run.method, row.methodAfter);
        EXPECT_EQ(run.window.boxes.size(), row.boxes);
        EXPECT_EQ(run.requests.size(), row.script.size());
    }
}

TEST(PasswordCheck, AMissingLoginProgramIsTriedOnceMoreWithTheBeginLine)
{
    FakeDevice device{{reply("HTTP/1.1 404 Not Found\r\n\r\n"), reply(kOk), reply(kAccepted)}};
    CheckRun run;
    runCheck(run, device);
    EXPECT_EQ(run.result, device.port());
    ASSERT_EQ(run.requests.size(), 3u);
    EXPECT_EQ(run.requests[0], loginRequest("pw", ""));
    EXPECT_EQ(run.requests[1], loginRequest("pw", "rd=begin"));
    EXPECT_EQ(run.requests[2], indexRequest());
    EXPECT_TRUE(run.window.logged("NO CGI Found, and test again"));
}

TEST(PasswordCheck, ARedirectSendsTheSameLoginToTheNewPort)
{
    FakeDevice target{{reply(kOk), reply(kAccepted)}};
    const std::string portText = std::to_string(target.port());
    FakeDevice device{
        {reply("HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:" + portText + "\r\n\r\n")}};
    CheckRun run;
    runCheck(run, device, "");
    target.waitDone();
    EXPECT_EQ(run.result, target.port());
    EXPECT_TRUE(run.window.logged("Resend login pkt in port : " + portText));
    EXPECT_THAT(target.requests(), ElementsAre(loginRequest("", ""), indexRequest()));
}

TEST(PasswordCheck, ARedirectWithMoreThanAPortFails)
{
    FakeDevice device{{reply("HTTP/1.1 301 Moved\r\nLocation: http://127.0.0.1:8080/menu\r\n\r\n")}};
    CheckRun run;
    runCheck(run, device);
    EXPECT_EQ(run.result, kLoginBadPort);
    EXPECT_TRUE(run.window.logged("Invalid login port number : 8080/menu"));
}

TEST(PasswordCheck, ADeviceThatRedirectsForeverFailsAfterEightRedirects)
{
    // Each device redirects to the next; the ninth would be followed by one more.
    std::vector<std::unique_ptr<FakeDevice>> chain;
    chain.push_back(std::make_unique<FakeDevice>(std::vector<Answer>{reply(kOk), reply(kAccepted)}));
    for (int i = 0; i < kMaxRedirects + 1; ++i) {
        const std::string next = std::to_string(chain.back()->port());
        chain.push_back(std::make_unique<FakeDevice>(std::vector<Answer>{
            reply("HTTP/1.1 301 Moved\r\nLocation: http://127.0.0.1:" + next + "\r\n\r\n")}));
    }
    CheckRun run;
    runCheck(run, *chain.back());
    EXPECT_EQ(run.result, kLoginBadPort);
    EXPECT_THAT(run.window.log.back(), HasSubstr("more than 8 times"));
    EXPECT_TRUE(chain.front()->requests().empty()); // the last device of the chain is never reached
}

TEST(PasswordCheck, ADeviceThatDoesNotAnswerFailsToSend)
{
    std::uint16_t closed = 0;
    {
        FakeDevice gone{{}};
        closed = gone.port();
    }
    WindowRecorder window;
    std::uint16_t method = 2;
    LoginWindow login{window, window, method, closed};
    EXPECT_EQ(CheckPassword("pw", "127.0.0.1", login), kLoginSendError);
    EXPECT_THAT(window.log,
                ElementsAre("send login PKT error", "Failed to connect socket to IP : 127.0.0.1 and port : " +
                                                        std::to_string(closed)));
}

TEST(BasicAuth, ResultOfEachReplyAndTheCredentialsSent)
{
    struct Row {
        std::string reply;
        int result; // 1: the port
        const char* logLine;
    };
    const Row rows[] = {
        {kOk, 1, "send win_auth login PKT success"},
        {"HTTP/1.1 401 Unauthorized\r\n\r\n", kLoginRejected, "Username or Password error in win-auth login"},
        {"HTTP/1.1 500 Oops\r\n\r\n", kLoginReceiveError, "Receive win-auth login PKT error"},
        {"", kLoginReceiveError, "receive response error 2 in send win_auth login PKT"},
    };
    for (const Row& row : rows) {
        FakeDevice device{{reply(row.reply)}};
        WindowRecorder window;
        std::uint16_t method = 2;
        LoginWindow login{window, window, method, device.port()};
        char userID[20] = {};
        const int result = CheckBasicAuth(userID, "admin", "", "127.0.0.1", login);
        device.waitDone();
        EXPECT_EQ(result, row.result == 1 ? device.port() : row.result) << row.reply;
        EXPECT_TRUE(window.logged(row.logLine)) << row.reply;
        EXPECT_STREQ(userID, "admin");
        EXPECT_THAT(device.requests(), ElementsAre(basicAuthRequest("127.0.0.1", "YWRtaW46")));
    }
}

TEST(BasicAuth, AUserNameLongerThanItsFieldIsCutAndTheWholePasswordSent)
{
    FakeDevice device{{reply(kOk)}};
    WindowRecorder window;
    std::uint16_t method = 2;
    LoginWindow login{window, window, method, device.port()};
    char userID[20] = {};
    const std::string password(40, 'p');
    CheckBasicAuth(userID, "abcdefghijklmnopqrstuvwxyz", password, "127.0.0.1", login);
    device.waitDone();
    EXPECT_STREQ(userID, "abcdefghijklmnopqrs");
    EXPECT_THAT(device.requests(),
                ElementsAre(basicAuthRequest("127.0.0.1", EncodeBase64("abcdefghijklmnopqrs:" + password))));
}

} // namespace
