// tests/lan/RoutersimDataTest.cpp: the device's data image as routersim serves it on the router side of the
// test LAN: stretches of it over the web interface (GET /config.bin, sent by lan_probe byte for byte) and
// over FTP (RETR of "OFFSET#LENGTH", fetched by curl in active mode), the built-in image and a
// --data-image file, the faults of both services and the command lines refused.
#include "tests/lan/LanRun.h"
#include "tests/lan/RoutersimRejects.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

namespace fs = std::filesystem;

constexpr char kAddress[] = "192.168.0.1";
constexpr char kPassword[] = "pw-3";
const std::string kDevice = "addr=192.168.0.1,module=XY,detail=1.0,answers=normal,web=on,ftp=on";

// The image routersim holds without --data-image, as its usage text describes it.
std::string builtinImage()
{
    std::string image(64 * 1024, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return image;
}

// The bytes of a --data-image file: unlike the built-in image, not a function of the offset alone.
std::string ownImage(std::size_t size)
{
    std::string bytes(size, '\0');
    std::uint32_t state = 88172645u;
    for (char& b : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<char>(state & 0xFF);
    }
    return bytes;
}
constexpr std::size_t kOwnImageSize = 1000;

std::string configRequest(const std::string& offset, const std::string& length)
{
    return "GET /config.bin?O=" + offset + "&L=" + length + " HTTP/1.1\r\n\r\n";
}

std::string okHead(std::size_t length)
{
    return "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
           std::to_string(length) + "\r\n\r\n";
}

enum class Via { Web, Ftp };

enum class Want {
    Stretch,    // Web: 200 OK with the stretch exactly; Ftp: the file holds the stretch
    CutStretch, // Web: the 200 OK head of the whole stretch, then its first half only
    Exactly,    // Web: the reply is text, byte for byte
    StartsWith, // Web: the reply starts with text
    Nothing,    // Ftp: no file came
};

// One fetch from the PC side.
struct Fetch {
    Via via;
    std::string what; // Web: the request's bytes; Ftp: the name as the URL carries it ('#' as %23)
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    Want want = Want::Stretch;
    std::string text = {};             // Exactly, StartsWith
    std::optional<int> wantStatus = 0; // lan_probe's or curl's; nullopt: any failure
    std::vector<std::string> in = {};  // in lan_probe's or curl -v's output
    std::vector<std::string> notIn = {};
};

Fetch web(const std::string& offset, const std::string& length)
{
    return {.via = Via::Web,
            .what = configRequest(offset, length),
            .offset = std::stoull(offset),
            .length = std::stoull(length)};
}

struct DataCase {
    const char* label;
    std::vector<std::string> options; // routersim's, beyond --store and --password
    bool useOwnImage;                 // pass --data-image with ownImage(kOwnImageSize)
    std::vector<Fetch> fetches;
    std::vector<std::string> wantErr = {};
    std::size_t wantProtocolErrors = 0;
};
void PrintTo(const DataCase& c, std::ostream* os)
{
    *os << c.label;
}

class DataOnTheLan : public testing::TestWithParam<DataCase> {};

TEST_P(DataOnTheLan, ServesTheStretchesAsTold)
{
    const DataCase& c = GetParam();
    if (system("command -v curl >/dev/null") != 0) GTEST_SKIP() << "curl is not installed";
    LanWorkspace work("routersimdata");
    const std::string image = c.useOwnImage ? ownImage(kOwnImageSize) : builtinImage();
    std::vector<std::string> options{"--store", work.store().string(), "--password", kPassword};
    if (c.useOwnImage) {
        const fs::path file = work.root() / "image.bin";
        writeFile(file, image);
        options.insert(options.end(), {"--data-image", file.string()});
    }
    options.insert(options.end(), c.options.begin(), c.options.end());

    std::string script;
    for (std::size_t i = 0; i < c.fetches.size(); ++i) {
        const Fetch& f = c.fetches[i];
        const fs::path file = work.root() / ("fetch-" + std::to_string(i));
        script += "echo '@@fetch " + std::to_string(i) + "'\n";
        if (f.via == Via::Web) {
            writeFile(file, f.what);
            script += "\"$0\" http " + std::string(kAddress) + " 80 " + shellQuote(file.string());
        } else {
            script += "curl -v -sS --noproxy '*' --max-time 20 --disable-eprt --ftp-port - " +
                      shellQuote("ftp://root:" + std::string(kPassword) + "@" + kAddress + "/" + f.what) +
                      " -o " + shellQuote(file.string()) + " 2>&1";
        }
        script += "; echo \"@@status=$?\"\n";
    }
    const RunResult run = runOnLan({{kAddress}, {}, {kDevice}, options},
                                   {"bash", "-c", script, lanProbePath()}, std::chrono::seconds(60));
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    for (std::size_t i = 0; i < c.fetches.size(); ++i) {
        const Fetch& f = c.fetches[i];
        const std::string begin = "@@fetch " + std::to_string(i) + "\n";
        const std::size_t from = run.out.find(begin);
        ASSERT_NE(from, std::string::npos) << run.out;
        const std::size_t to = run.out.find("\n@@status=", from);
        ASSERT_NE(to, std::string::npos) << run.out;
        const std::string out = run.out.substr(from + begin.size(), to + 1 - from - begin.size());
        const int status = std::stoi(run.out.substr(to + 10));
        const std::string where = "fetch " + std::to_string(i) + ":\n" + out;
        if (f.wantStatus)
            EXPECT_EQ(status, *f.wantStatus) << where << run.err;
        else
            EXPECT_NE(status, 0) << where << run.err;
        for (const std::string& want : f.in)
            EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << where;
        for (const std::string& unwanted : f.notIn)
            EXPECT_EQ(out.find(unwanted), std::string::npos) << unwanted << "\n" << where;

        const std::string stretch =
            f.offset >= image.size() ? std::string() : image.substr(f.offset, f.length);
        if (f.via == Via::Ftp) {
            const fs::path file = work.root() / ("fetch-" + std::to_string(i));
            if (f.want == Want::Nothing) {
                EXPECT_TRUE(!fs::exists(file) || fs::file_size(file) == 0) << where;
            } else {
                EXPECT_TRUE(contentOf(file) == stretch) << where << run.err;
                const std::string size = "< 213 " + std::to_string(stretch.size()) + "\r\n";
                EXPECT_NE(out.find(size), std::string::npos) << size << where;
            }
            continue;
        }
        // lan_probe prints "reply N bytes:", the bytes, a line end and how the connection ended.
        const std::string mark = "reply ";
        const std::size_t at = out.find(mark);
        ASSERT_NE(at, std::string::npos) << where;
        const std::size_t colon = out.find(" bytes:\n", at);
        ASSERT_NE(colon, std::string::npos) << where;
        const std::size_t size = std::stoul(out.substr(at + mark.size(), colon - at - mark.size()));
        const std::string reply = out.substr(colon + 8, size);
        EXPECT_NE(out.find("closed by the device\n", colon + 8 + size), std::string::npos) << where;
        switch (f.want) {
        case Want::Stretch:
            EXPECT_TRUE(reply == okHead(stretch.size()) + stretch) << where;
            break;
        case Want::CutStretch:
            EXPECT_TRUE(reply == okHead(stretch.size()) + stretch.substr(0, stretch.size() / 2)) << where;
            break;
        case Want::Exactly:
            EXPECT_EQ(reply, f.text) << where;
            break;
        case Want::StartsWith:
            EXPECT_TRUE(reply.starts_with(f.text)) << where;
            break;
        case Want::Nothing:
            ADD_FAILURE() << "Want::Nothing is for FTP fetches";
            break;
        }
    }
    fs::directory_iterator entries(work.store());
    EXPECT_EQ(entries, fs::directory_iterator{}) << "the store holds files: downloads make none";
    for (const std::string& want : c.wantErr)
        EXPECT_NE(run.err.find(want), std::string::npos) << want << "\n" << run.err;
    EXPECT_EQ(countLines(run.err, "routersim: protocol error: "), c.wantProtocolErrors) << run.err;
}

const std::string kBadRequest = "HTTP/1.1 400 Bad Request\r\n";
const std::string kRefusal = "< 550 256#16: no such stretch";
const std::string kLocalError = "< 451 Requested action aborted: local error in processing.";

Fetch ftp(const std::string& name, std::uint64_t offset, std::uint64_t length)
{
    return {.via = Via::Ftp, .what = name, .offset = offset, .length = length, .in = {"< 226 "}};
}

Fetch badQuery(const std::string& target)
{
    return {.via = Via::Web,
            .what = "GET " + target + " HTTP/1.1\r\n\r\n",
            .want = Want::StartsWith,
            .text = kBadRequest};
}

INSTANTIATE_TEST_SUITE_P(
    Stretches, DataOnTheLan,
    testing::Values(DataCase{"TheBuiltInImageOverWebAndFtp",
                             {},
                             false,
                             {web("256", "16"), web("0", "65536"), web("65530", "100"), web("70000", "5"),
                              ftp("256%2316", 256, 16), ftp("65000%232000", 65000, 2000)},
                             {"routersim: web: GET /config.bin?O=256&L=16 from 10.77.0.2:",
                              ": 200 OK (data image, 16 bytes from 256)", "(data image, 6 bytes from 65530)",
                              "routersim: ftp: serving 16 bytes of the data image from 256 for 256#16"}},
                    DataCase{"AnImageFileOverWebAndFtp",
                             {},
                             true,
                             {web("256", "16"), web("990", "16"), ftp("256%2316", 256, 16),
                              ftp("0%231000", 0, 1000), ftp("999%2310", 999, 10)}},
                    // The download of a file that is really in the store still reads the store.
                    DataCase{"AnyOtherNameIsNoStretch",
                             {},
                             false,
                             {{.via = Via::Ftp,
                               .what = "256-16",
                               .want = Want::Nothing,
                               .wantStatus = std::nullopt,
                               .in = {"256-16", "< 550 "}}}},
                    DataCase{
                        "BadQueriesAre400AndProtocolErrors",
                        {},
                        false,
                        {badQuery("/config.bin?O=256"), badQuery("/config.bin?L=16"), badQuery("/config.bin"),
                         badQuery("/config.bin?O=x&L=16"), badQuery("/config.bin?O=256&L=-1"),
                         badQuery("/config.bin?O=-5&L=16"), badQuery("/config.bin?O=0x10&L=16"),
                         badQuery("/config.bin?O=1&L=2&O=3"), web("256", "16")},
                        {"routersim: protocol error: data image request \"/config.bin?O=256\" has no L="},
                        8},
                    DataCase{"HeaderLinesAreTakenButReported",
                             {},
                             false,
                             {{.via = Via::Web,
                               .what = "GET /config.bin?O=256&L=16 HTTP/1.1\r\nHost: 192.168.0.1\r\n\r\n",
                               .offset = 256,
                               .length = 16}},
                             {"routersim: protocol error: data image request line 2 is"},
                             1},
                    DataCase{"Fault400",
                             {"--config-fault", "400"},
                             false,
                             {{.via = Via::Web,
                               .what = configRequest("256", "16"),
                               .want = Want::Exactly,
                               .text = "HTTP/1.1 400 Bad Request\r\n\r\n"},
                              ftp("256%2316", 256, 16)},
                             {"400 Bad Request (data image, 400 as told)"}},
                    DataCase{"Fault404",
                             {"--config-fault", "404"},
                             false,
                             {{.via = Via::Web,
                               .what = configRequest("256", "16"),
                               .want = Want::StartsWith,
                               .text = "HTTP/1.1 404 Not Found\r\n",
                               .notIn = {"application/octet-stream"}}}},
                    DataCase{"FaultCut",
                             {"--config-fault", "cut"},
                             false,
                             {{.via = Via::Web,
                               .what = configRequest("256", "16"),
                               .offset = 256,
                               .length = 16,
                               .want = Want::CutStretch},
                              {.via = Via::Web,
                               .what = configRequest("1000", "3001"),
                               .offset = 1000,
                               .length = 3001,
                               .want = Want::CutStretch}},
                             {"cut after 8 bytes as told"}},
                    DataCase{"FaultNoOk",
                             {"--config-fault", "no-ok"},
                             false,
                             {{.via = Via::Web,
                               .what = configRequest("256", "16"),
                               .want = Want::StartsWith,
                               .text = "HTTP/1.1 500 Internal Server Error\r\n",
                               .in = {"Content-Length: ", "500 Internal Server Error</body>"}}}},
                    DataCase{"FtpRefusal550",
                             {"--ftp-get-refuse"},
                             false,
                             {{.via = Via::Ftp,
                               .what = "256%2316",
                               .want = Want::Nothing,
                               .wantStatus = std::nullopt,
                               .in = {"RETR 256#16", kRefusal},
                               .notIn = {"< 226 ", "< 150 "}},
                              web("256", "16")}},
                    DataCase{"FtpLocalError451",
                             {"--ftp-get-error"},
                             false,
                             {{.via = Via::Ftp,
                               .what = "256%2316",
                               .want = Want::Nothing,
                               .wantStatus = std::nullopt,
                               .in = {"RETR 256#16", kLocalError},
                               .notIn = {"< 226 ", "< 150 "}}}}),
    [](const auto& info) { return std::string(info.param.label); });

// The built-in image goes to a private folder for the FTP server, which routersim removes at its end.
TEST(DataImage, TheBuiltInImagesFolderGoesWithRoutersim)
{
    LanWorkspace work("routersimdata");
    // A TMPDIR of the test's own, so that other runs' folders do not count.
    const std::string script =
        "export TMPDIR=\"$1/tmp\"; mkdir \"$TMPDIR\"\n"
        "\"$0\" --device addr=10.77.0.2,module=XY,ftp=on --store \"$1/store\" &\n"
        "pid=$!\n"
        "for i in $(seq 100); do ls \"$TMPDIR\"/routersim-image-*/image.bin >/dev/null "
        "2>&1 && break; sleep 0.1; done\n"
        "ls \"$TMPDIR\" > \"$1/during\"\n"
        "kill -TERM $pid; wait $pid; echo \"@@status=$?\"\n"
        "ls \"$TMPDIR\" > \"$1/after\"\n";
    const RunResult run =
        runOnLan({}, {"bash", "-c", script, routersimPath(), work.root().string()}, std::chrono::seconds(30));
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("@@status=0\n"), std::string::npos) << run.out << run.err;
    EXPECT_TRUE(contentOf(work.root() / "during").starts_with("routersim-image-")) << run.err;
    EXPECT_EQ(contentOf(work.root() / "after"), "") << run.err;
}

const std::string kWeb = "addr=192.168.0.1,module=XY,web=on";
const std::string kFtp = "addr=192.168.0.1,module=XY,ftp=on";

INSTANTIATE_TEST_SUITE_P(
    DataOptions, RoutersimRejects,
    testing::Values(
        BadCase{"UnknownConfigFault",
                {"--device", kWeb, "--config-fault", "500"},
                "--config-fault wants 400, 404, cut or no-ok"},
        BadCase{"ConfigFaultWithoutAValue", {"--device", kWeb, "--config-fault"}, "needs a value"},
        BadCase{"ConfigFaultWithoutAWebDevice",
                {"--store", "/tmp", "--device", kFtp, "--config-fault", "cut"},
                "--config-fault is given, but no device has web=on"},
        BadCase{"MissingDataImage",
                {"--device", kWeb, "--data-image", "/nonexistent/image.bin"},
                "--data-image /nonexistent/image.bin is not a file"},
        BadCase{"DataImageIsAFolder", {"--device", kWeb, "--data-image", "/tmp"}, "is not a file"},
        BadCase{"DataImageWithoutAValue", {"--device", kWeb, "--data-image"}, "needs a value"},
        BadCase{"DataImageWithoutWebOrFtp",
                {"--device", "addr=192.168.0.1,module=XY", "--data-image", "/etc/hostname"},
                "--data-image is given, but no device has web=on or ftp=on"},
        BadCase{"BothFtpGetFaults",
                {"--store", "/tmp", "--device", kFtp, "--ftp-get-refuse", "--ftp-get-error"},
                "cannot both be given"},
        BadCase{"FtpGetFaultWithoutAnFtpDevice",
                {"--device", kWeb, "--ftp-get-error"},
                "--ftp-get-error is given, but no device has ftp=on"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(DataOptions, HelpDescribesThem)
{
    const RunResult run = runOnLan({}, {routersimPath(), "--help"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* word :
         {"--data-image FILE", "(i * 7 + 3) & 0xFF", "65536 bytes", "GET /config.bin?O=OFFSET&L=LENGTH",
          "--config-fault F", "no-ok", "--ftp-get-refuse", "--ftp-get-error", "OFFSET#LENGTH"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

} // namespace
