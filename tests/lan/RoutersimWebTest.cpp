// tests/lan/RoutersimWebTest.cpp: routersim's device web interface on the router side of the test LAN, driven
// from the PC side by lan_probe's HTTP client with the exact bytes fwupgrade's web client sends (and by curl
// for a standard upload): the login results, Basic authorization, redirects, the 404 retry, the uploads it
// stores, its verdicts, the faults it plays and the breaches it reports.
#include "tests/lan/LanRun.h"
#include "tests/lan/RoutersimRejects.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr char kAddress[] = "192.168.0.1";
constexpr char kOtherAddress[] = "192.168.0.2";
const std::string kDevice = "addr=192.168.0.1,module=XY,detail=1.0,answers=normal,web=on";

// What fwupgrade's web client sends, written out here byte for byte.
const std::string kFormHeaders = "Accept-Language: zh-tw\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\n"
                                 "Accept-Encoding: gzip, deflate\r\n"
                                 "User-Agent: Mozilla/4.0 (Compatible; MSIE 5.0; Windows 98; DigExt)\r\n"
                                 "Connection: Keep-Alive\r\n"
                                 "\r\n";

std::string login(const std::string& password, const std::string& extraLine = "")
{
    return "GET /cgi-bin/logi?rc=@&PSW=" + password + "&rd=menu HTTP/1.1\r\n" + extraLine + "\r\n" +
           kFormHeaders;
}

const std::string kIndex = "GET / HTTP/1.1\r\n" + kFormHeaders;

std::string basic(const std::string& credentialsBase64, const std::string& host = kAddress)
{
    return "GET / HTTP/1.1\r\n"
           "Accept: image/gif, image/x-xbitmap, image/jpeg,image/pjpeg, */*\r\n"
           "Accept-Language: zh-tw\r\n"
           "Accept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (Compatible; MSIE 6.0; Windows NT; 5.1)\r\n"
           "Host: " +
           host +
           "\r\n"
           "Connection: Keep-Alive\r\n"
           "Authorization: Basic " +
           credentialsBase64 + "\r\n\r\n";
}

const std::string kPartHeader = "-----------------123456789\r\n"
                                "Content-Disposition: from-data; name=\"FN\"; filename=\"upgrade.bin\" \r\n"
                                "Content-Type: application/octet-stream \r\n"
                                "\r\n";
const std::string kEndMarker = "\r\n----\r\n";

std::string uploadRequest(const std::string& images, long lengthError, const std::string& partHeader)
{
    const long length =
        static_cast<long>(partHeader.size() + images.size() + kEndMarker.size()) + lengthError;
    return "POST /upg HTTP/1.0\r\n"
           "User-Agent: Tesmora_Agent\r\n"
           "Connection: Keep-Alive\r\n"
           "Content-Type: multipart/form-data: boundary=-----------------123456789\r\n"
           "Content-Length: " +
           std::to_string(length) + "\r\n\r\n" + partHeader + images + kEndMarker;
}

// A folder of its own for each case: the request files and the store.
class Workspace : public LanWorkspace {
public:
    Workspace() : LanWorkspace("routersimweb") {}
};

enum class Tool { Http, Curl, NormalProbe };

// One run on the PC side.
struct Exchange {
    std::string request = {};             // sent as it is, or
    std::vector<std::size_t> images = {}; // set: an upload of images of these sizes
    long lengthError = 0;                 // added to the upload's right Content-Length
    std::string partHeader = kPartHeader;
    std::uint16_t port = 80;
    std::vector<std::string> probeOptions = {};
    int wantStatus = 0;
    std::vector<std::string> in = {}; // in what the run printed, the reply among it
    std::vector<std::string> notIn = {};
    std::string address = kAddress;
    Tool tool = Tool::Http; // Curl uploads the first image with curl -F
};

struct WebCase {
    const char* label;
    std::vector<std::string> options; // routersim's, beyond --store
    std::vector<Exchange> exchanges;
    std::vector<std::size_t> wantStored = {}; // upload-K.bin holds the images of exchange wantStored[K-1]
    std::vector<std::string> wantErr = {};
    std::size_t wantProtocolErrors = 0;
    std::vector<std::string> devices = {kDevice};
};
void PrintTo(const WebCase& c, std::ostream* os)
{
    *os << c.label;
}

class WebOnTheLan : public testing::TestWithParam<WebCase> {};

TEST_P(WebOnTheLan, AnswersStoresAndReportsAsTold)
{
    const WebCase& c = GetParam();
    Workspace work;
    std::vector<std::string> images; // of each exchange, back to back
    std::string script;
    for (std::size_t i = 0; i < c.exchanges.size(); ++i) {
        const Exchange& e = c.exchanges[i];
        images.emplace_back();
        for (std::size_t j = 0; j < e.images.size(); ++j)
            images[i] += fileBytes(e.images[j], static_cast<std::uint32_t>(i * 16 + j));
        const fs::path file = work.root() / ("request-" + std::to_string(i));
        script += "echo '@@exchange " + std::to_string(i) + "'\n";
        if (e.tool == Tool::Curl) {
            if (system("command -v curl >/dev/null") != 0) GTEST_SKIP() << "curl is not installed";
            writeFile(file, images[i]);
            script += "curl -sS --noproxy '*' --max-time 20 -F " + shellQuote("FN=@" + file.string()) +
                      " http://" + e.address + ":" + std::to_string(e.port) + "/upg";
        } else if (e.tool == Tool::NormalProbe) {
            script += "\"$0\" --wait 1000 normal " + e.address;
        } else {
            writeFile(file,
                      e.images.empty() ? e.request : uploadRequest(images[i], e.lengthError, e.partHeader));
            script += "\"$0\"";
            for (const std::string& option : e.probeOptions) script += " " + shellQuote(option);
            script += " http " + e.address + " " + std::to_string(e.port) + " " + shellQuote(file.string());
        }
        script += "; echo \"@@status=$?\"\n";
    }
    std::vector<std::string> options{"--store", work.store().string()};
    options.insert(options.end(), c.options.begin(), c.options.end());
    const RunResult run = runOnLan({{kAddress, kOtherAddress}, {}, c.devices, options},
                                   {"bash", "-c", script, lanProbePath()}, std::chrono::seconds(60));
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    for (std::size_t i = 0; i < c.exchanges.size(); ++i) {
        const Exchange& e = c.exchanges[i];
        const std::string begin = "@@exchange " + std::to_string(i) + "\n";
        const std::size_t from = run.out.find(begin);
        ASSERT_NE(from, std::string::npos) << run.out;
        const std::size_t to = run.out.find("@@status=", from);
        ASSERT_NE(to, std::string::npos) << run.out;
        const std::string out = run.out.substr(from + begin.size(), to - from - begin.size());
        const int status = std::stoi(run.out.substr(to + 9));
        const std::string where = "exchange " + std::to_string(i) + ":\n" + out.substr(0, 4000);
        EXPECT_EQ(status, e.wantStatus) << where << run.err;
        for (const std::string& want : e.in)
            EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << where;
        for (const std::string& unwanted : e.notIn)
            EXPECT_EQ(out.find(unwanted), std::string::npos) << unwanted << "\n" << where;
    }

    std::set<std::string> wantNames;
    for (std::size_t k = 0; k < c.wantStored.size(); ++k) {
        const std::string name = "upload-" + std::to_string(k + 1) + ".bin";
        wantNames.insert(name);
        const std::string& want = images.at(c.wantStored[k]);
        const std::string stored = contentOf(work.store() / name);
        EXPECT_TRUE(stored == want) << name << ": " << stored.size() << " bytes, want the " << want.size()
                                    << " of exchange " << c.wantStored[k];
        EXPECT_NE(run.err.find("routersim: web: stored " + std::to_string(want.size()) + " bytes in " +
                               (work.store() / name).string() + "\n"),
                  std::string::npos)
            << run.err;
    }
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(work.store()))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, wantNames) << run.err; // nothing half-written is left

    for (const std::string& want : c.wantErr)
        EXPECT_NE(run.err.find(want), std::string::npos) << want << "\n" << run.err;
    EXPECT_EQ(countLines(run.err, "routersim: protocol error: "), c.wantProtocolErrors) << run.err;
}

const std::string kOk = "HTTP/1.1 200 OK\r\n";
const std::string kTagRight = "<!--CAS:8003-->";
const std::string kTagWrong = "<!--CAS:0003-->";
const std::string kClosed = "closed by the device\n";

INSTANTIATE_TEST_SUITE_P(
    Logins, WebOnTheLan,
    testing::Values(
        WebCase{"NewKindTagsTheIndexByTheLastLogin",
                {"--password", "s3cret"},
                {{.request = login("s3cret"), .in = {kOk, kClosed}, .notIn = {"alert", "--CAS"}},
                 {.request = kIndex, .in = {kOk, kTagRight, kClosed}},
                 {.request = login("S3cret"), .in = {kOk}, .notIn = {"alert"}},
                 {.request = kIndex, .in = {kTagWrong}}},
                {},
                {"routersim: web: GET /cgi-bin/logi?rc=@&PSW=s3cret&rd=menu from 10.77.0.2:",
                 " to 192.168.0.1:80, 253 bytes: 200 OK (login, password right)",
                 "routersim: web: GET / from 10.77.0.2:", "200 OK (index, tag 0003)"}},
        // The login's first blank line comes straight after its request line; its headers follow later.
        WebCase{"LoginSentInTwoPiecesIsReadToItsLastBlankLine",
                {"--password", "s3cret"},
                {{.request = login("s3cret"),
                  .probeOptions = {"--split-at", "54", "--pause", "300"},
                  .in = {"sent 253 bytes", kOk, kClosed}},
                 {.request = kIndex, .in = {kTagRight}}},
                {},
                {"200 OK (login, password right)"}},
        WebCase{"PasswordWithBlanksAndAmpersandsIsComparedWhole",
                {"--password", "a b&c"},
                {{.request = login("a b&c")},
                 {.request = kIndex, .in = {kTagRight}},
                 {.request = login("a b"), .in = {kOk}},
                 {.request = kIndex, .in = {kTagWrong}}}},
        WebCase{"OldKindAlertsAWrongLoginAndTagsNothing",
                {"--web-kind", "old"},
                {{.request = login("admin"), .in = {kOk}, .notIn = {"alert"}},
                 {.request = kIndex, .in = {kOk}, .notIn = {"--CAS"}},
                 {.request = login("wrong"), .in = {kOk, "<script>alert(\""}, .notIn = {"--CAS"}},
                 {.request = kIndex, .in = {kOk}, .notIn = {"--CAS"}}}},
        WebCase{"BasicKindAsksForAuthorizationAndChecksIt",
                {"--web-kind", "basic", "--user", "root", "--password", "pw"},
                {{.request = login("pw"), .in = {kOk}},
                 {.request = kIndex,
                  .in = {"HTTP/1.1 401 Unauthorized\r\n", "WWW-Authenticate: Basic realm=\"XY\"\r\n"}},
                 {.request = basic("cm9vdDpwdw=="), .in = {kOk}, .notIn = {"401"}},     // root:pw
                 {.request = basic("cm9vdDpwdg=="), .in = {"401 "}, .notIn = {"200"}},  // root:pv
                 {.request = basic("YWRtaW46cHc="), .in = {"401 "}, .notIn = {"200"}}}, // admin:pw
                {},
                {"(index, Basic authorization accepted)", "(index, Basic authorization refused)"}},
        WebCase{"RedirectedLoginIsTakenOnTheNewPort",
                {"--redirect", "8080"},
                {{.request = login("admin"),
                  .in = {"HTTP/1.1 301 Moved Permanently\r\nLocation: http://192.168.0.1:8080\r\n", kClosed},
                  .notIn = {"Date:"}},
                 {.request = login("admin"), .port = 8080, .in = {kOk}},
                 {.request = kIndex, .port = 8080, .in = {kTagRight}}},
                {},
                {"(login, redirected to port 8080)",
                 " to 192.168.0.1:8080, 252 bytes: 200 OK (login, password right)"}},
        WebCase{"RedirectForeverLeadsRoundPortsThatAllListen",
                {"--redirect-forever"},
                {{.request = login("admin"), .in = {"Location: http://192.168.0.1:8081\r\n"}},
                 {.request = login("admin"), .port = 8081, .in = {"Location: http://192.168.0.1:8082\r\n"}},
                 {.request = login("admin"), .port = 8082, .in = {"Location: http://192.168.0.1:8083\r\n"}},
                 {.request = login("admin"), .port = 8089, .in = {"Location: http://192.168.0.1:8090\r\n"}},
                 {.request = login("admin"), .port = 8090, .in = {"Location: http://192.168.0.1:8081\r\n"}},
                 {.request = kIndex, .port = 8085, .in = {kTagWrong}}}}, // no login was ever served
        WebCase{"Login404OnceThenTheRetryWithRdBeginIsServed",
                {"--login-404-once"},
                {{.request = login("admin"), .in = {"HTTP/1.1 404 Not Found\r\n", kClosed}},
                 {.request = login("admin", "rd=begin"), .in = {kOk}},
                 {.request = kIndex, .in = {kTagRight}},
                 {.request = login("admin"), .in = {kOk}}}},
        WebCase{"LoginsAreRememberedByDevice",
                {},
                {{.request = login("admin")},
                 {.request = kIndex, .in = {kTagWrong}, .address = kOtherAddress},
                 {.request = kIndex, .in = {kTagRight}}},
                {},
                {},
                0,
                {kDevice, "addr=192.168.0.2,module=ZW,web=on"}}),
    [](const auto& info) { return std::string(info.param.label); });

const std::string kSuccess = "<!--CAS:8000-->";
constexpr std::size_t kMiB = 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
    Uploads, WebOnTheLan,
    testing::Values(
        WebCase{"TwoImagesOf16MiBAreStoredBackToBackAndCounted",
                {},
                {{.images = {12 * kMiB + 17, 4 * kMiB - 17}, .in = {kOk, kSuccess, kClosed}},
                 {.images = {1000, 24}, .in = {kSuccess}}},
                {0, 1},
                {"routersim: web: POST /upg from 10.77.0.2:",
                 " to 192.168.0.1:80, 16777534 bytes: 200 OK (upload)"}},
        WebCase{"ContentLengthTooLargeIsAProtocolErrorAndStillAnswered",
                {},
                {{.images = {5000}, .lengthError = 10, .in = {kSuccess, kClosed}}},
                {0},
                {"routersim: protocol error: Content-Length is 5157, but 5147 body bytes came"},
                1},
        WebCase{"ContentLengthTooSmallIsAProtocolErrorAndStillAnswered",
                {},
                {{.images = {5000}, .lengthError = -10, .in = {kSuccess, kClosed}}},
                {0},
                {"routersim: protocol error: Content-Length is 5137, but 5147 body bytes came"},
                1},
        WebCase{"CurlUploadIsTakenAsAStandardOne",
                {},
                {{.images = {2 * kMiB + 3}, .in = {kSuccess}, .tool = Tool::Curl}},
                {0},
                {"(upload, standard multipart)"}},
        WebCase{
            "AlertVerdict",
            {"--verdict", "alert:Wrong model"},
            {{.images = {300}, .in = {kOk, "<script>alert(\"Wrong model\")</script>"}, .notIn = {"--CAS"}}},
            {0}},
        WebCase{
            "StatusVerdict",
            {"--verdict", "status:503"},
            {{.images = {300}, .in = {"HTTP/1.1 503 Service Unavailable\r\n"}, .notIn = {"--CAS", "200"}}},
            {0}},
        WebCase{
            "LongVerdictIsOneByteMoreThanTheClientReads",
            {"--verdict", "long"},
            {{.images = {300}, .in = {"reply 1464 bytes:\nHTTP/1.1 200 OK\r\n", "--CAS:8000\n" + kClosed}}},
            {0}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Faults, WebOnTheLan,
    testing::Values(
        WebCase{"CloseEarlyLoginClosesWithoutAReply",
                {"--close-early", "login"},
                {{.request = login("admin"), .in = {"sent 252 bytes\nreply 0 bytes:\n\n" + kClosed}},
                 {.request = kIndex, .in = {kTagWrong}}}},
        WebCase{"CloseEarlyUploadClosesWithoutAReplyAndStoresNothing",
                {"--close-early", "upload"},
                {{.images = {100000}, .in = {"reply 0 bytes:\n\n" + kClosed}}}},
        WebCase{"KeepOpenIndexRepliesAndStaysOpen",
                {"--keep-open", "index"},
                {{.request = kIndex,
                  .probeOptions = {"--wait", "500"},
                  .wantStatus = 1,
                  .in = {kTagWrong, "still open after 500 ms without a byte"},
                  .notIn = {kClosed}},
                 {.request = login("admin"), .in = {kOk, kClosed}}},
                {},
                {"200 OK (index, tag 0003 (no login of this client)), kept open"}},
        WebCase{"KeepOpenUploadStoresRepliesAndStaysOpen",
                {"--keep-open", "upload"},
                {{.images = {3000},
                  .probeOptions = {"--wait", "500"},
                  .wantStatus = 1,
                  .in = {kSuccess, "still open"}}},
                {0}},
        // The client's send blocks while the device goes on serving its probes and other connections.
        WebCase{"StalledUploadBlocksTheClientAndNothingElse",
                {"--stall-upload-after", "1000"},
                {{.images = {16 * kMiB},
                  .probeOptions = {"--wait", "500"},
                  .wantStatus = 1,
                  .in = {"sent only ", "reply 0 bytes:", "still open after 500 ms"}},
                 {.in = {"reply from 192.168.0.1:9 68 bytes: "}, .tool = Tool::NormalProbe},
                 {.request = login("admin"), .in = {kOk, kClosed}}},
                {},
                {"stalled after 1000 body bytes: nothing more is read"}}),
    [](const auto& info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(
    Breaches, WebOnTheLan,
    testing::Values(
        WebCase{"IndexOfAnotherLanguageIsAProtocolErrorAndAnswered",
                {},
                {{.request = "GET / HTTP/1.1\r\nAccept-Language: en\r\n" + kFormHeaders.substr(24),
                  .in = {kTagWrong}}},
                {},
                {"routersim: protocol error: index request line 2 is \"Accept-Language: en\\r\\n\", want "
                 "\"Accept-Language: zh-tw\\r\\n\""},
                1},
        WebCase{"LoginWithoutItsEmptyLineIsAProtocolError",
                {},
                {{.request = "GET /cgi-bin/logi?rc=@&PSW=admin&rd=menu HTTP/1.1\r\n" + kFormHeaders,
                  .in = {kOk}}},
                {},
                {"routersim: protocol error: login request line 2 is"},
                1},
        WebCase{"BasicNamingAnotherHostIsAProtocolError",
                {"--web-kind", "basic"},
                {{.request = basic("YWRtaW46YWRtaW4=", "10.77.0.1"), .in = {kOk}}},
                {},
                {"routersim: protocol error: authorization request line 6 is \"Host: 10.77.0.1\\r\\n\""},
                1},
        WebCase{"BytesAfterARequestAreAProtocolError",
                {},
                {{.request = login("admin") + "GET", .in = {kOk, kClosed}}},
                {},
                {"routersim: protocol error: the client sent 3 bytes after its request"},
                1},
        WebCase{"UploadWithAStandardBoundaryLineIsAProtocolErrorAndStored",
                {},
                {{.images = {3000}, .partHeader = "--" + kPartHeader, .in = {kSuccess}}},
                {0},
                {"routersim: protocol error: upload part header line 1 is "
                 "\"-------------------123456789\\r\\n\""},
                1}),
    [](const auto& info) { return std::string(info.param.label); });

const std::string kWeb = "addr=192.168.0.1,module=XY,web=on";

INSTANTIATE_TEST_SUITE_P(
    WebOptions, RoutersimRejects,
    testing::Values(
        BadCase{"WebNeitherOnNorOff",
                {"--device", "addr=192.168.0.1,module=XY,web=yes"},
                "web=yes is not on or off"},
        BadCase{"WebOnACrashedDevice",
                {"--store", "/tmp", "--device", "addr=192.168.0.1,module=XY,web=on,tftp=on"},
                "a crashed device has no web interface"},
        BadCase{"TwoWebDevicesOnOneAddress", {"--device", kWeb, "--device", kWeb}, "two devices with web=on"},
        BadCase{"WebOptionWithoutAWebDevice",
                {"--device", "addr=192.168.0.1,module=XY", "--verdict", "8001"},
                "--verdict is given, but no device has web=on"},
        BadCase{
            "UnknownKind", {"--device", kWeb, "--web-kind", "newer"}, "--web-kind wants new, old or basic"},
        BadCase{"RedirectToPort80", {"--device", kWeb, "--redirect", "80"}, "other than 80"},
        BadCase{"RedirectBeyondThePorts", {"--device", kWeb, "--redirect", "65536"}, "not a port"},
        BadCase{"RedirectRingBeyondThePorts",
                {"--device", kWeb, "--redirect", "65530", "--redirect-forever"},
                "--redirect-forever wants its 10 ports"},
        BadCase{"VerdictOfThreeDigits", {"--device", kWeb, "--verdict", "800"}, "--verdict 800 is none of"},
        BadCase{
            "StatusVerdictBelow100", {"--device", kWeb, "--verdict", "status:99"}, "status from 100 to 599"},
        BadCase{"CloseEarlyOfAnotherRequest",
                {"--device", kWeb, "--close-early", "logout"},
                "wants login, index"},
        BadCase{"CloseEarlyAndKeepOpenAtOnce",
                {"--device", kWeb, "--close-early", "login", "--keep-open", "login"},
                "for the same request"},
        BadCase{"StallWithoutACount", {"--device", kWeb, "--stall-upload-after"}, "needs a value"},
        BadCase{"StallOfANegativeCount", {"--device", kWeb, "--stall-upload-after", "-1"}, "not a number"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(WebOptions, HelpDescribesThem)
{
    const RunResult run = runOnLan({}, {routersimPath(), "--help"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* word :
         {"web=on|off", "--password TEXT", "--user NAME", "--web-kind new|old|basic", "--redirect PORT",
          "--redirect-forever", "--login-404-once", "--verdict V", "--close-early login|index|upload",
          "--keep-open login|index|upload", "--stall-upload-after N", "upload-1.bin",
          "routersim: web: stored N bytes in PATH"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word << "\n" << run.out;
}

} // namespace
