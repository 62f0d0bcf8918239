// tests/lan/RoutersimFtpTest.cpp: routersim's device FTP server (pyftpdlib, a child of routersim) on the
// router side of the test LAN, driven from the PC side by curl in active mode (PORT, so the server connects
// back to 10.77.0.2) and in passive mode: the uploads it stores, the replies of its faults, the stall, its
// start and end with routersim, and the command lines it refuses.
#include "tests/lan/LanRun.h"
#include "tests/lan/RoutersimRejects.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>

namespace {

namespace fs = std::filesystem;

constexpr char kAddress[] = "192.168.0.1";
constexpr char kPassword[] = "pw-7";
const std::string kDevice = "addr=192.168.0.1,module=XY,detail=1.0,answers=normal,ftp=on";

enum class Mode { Active, Passive };

// One curl upload on the PC side; its -v output holds the server's replies as "< NNN ...".
struct Upload {
    std::string name;
    std::size_t size;
    Mode mode = Mode::Active;
    std::string password = kPassword;
    int maxTime = 20;
    std::optional<int> wantStatus = 0; // curl's exit status; nullopt: any failure
    std::vector<std::string> in = {};  // in curl's output
    std::vector<std::string> notIn = {};
};

struct FtpCase {
    const char* label;
    std::vector<std::string> options; // routersim's, beyond --store and --password
    std::vector<Upload> uploads;
    std::vector<std::size_t> wantStored = {}; // the uploads whose files the store holds afterwards
    std::vector<std::string> wantErr = {};
    std::vector<std::string> notInErr = {};
};
void PrintTo(const FtpCase& c, std::ostream* os)
{
    *os << c.label;
}

class FtpOnTheLan : public testing::TestWithParam<FtpCase> {};

TEST_P(FtpOnTheLan, StoresAndAnswersAsTold)
{
    const FtpCase& c = GetParam();
    if (system("command -v curl >/dev/null") != 0) GTEST_SKIP() << "curl is not installed";
    LanWorkspace work("routersimftp");
    std::vector<std::string> bytes;
    std::string script;
    for (std::size_t i = 0; i < c.uploads.size(); ++i) {
        const Upload& u = c.uploads[i];
        bytes.push_back(fileBytes(u.size, static_cast<std::uint32_t>(i)));
        const fs::path file = work.root() / ("upload-" + std::to_string(i));
        writeFile(file, bytes.back());
        const std::string mode =
            u.mode == Mode::Active ? "--disable-eprt --ftp-port -" : "--disable-epsv --ftp-pasv";
        script += "echo '@@upload " + std::to_string(i) + "'\n";
        script += "curl -v -sS --noproxy '*' --max-time " + std::to_string(u.maxTime) + " " + mode + " -T " +
                  shellQuote(file.string()) + " " +
                  shellQuote("ftp://root:" + u.password + "@" + kAddress + "/" + u.name) +
                  " 2>&1; echo \"@@status=$?\"\n";
    }
    std::vector<std::string> options{"--store", work.store().string(), "--password", kPassword};
    options.insert(options.end(), c.options.begin(), c.options.end());
    const RunResult run =
        runOnLan({{kAddress}, {}, {kDevice}, options}, {"bash", "-c", script}, std::chrono::seconds(60));
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    for (std::size_t i = 0; i < c.uploads.size(); ++i) {
        const Upload& u = c.uploads[i];
        const std::string begin = "@@upload " + std::to_string(i) + "\n";
        const std::size_t from = run.out.find(begin);
        ASSERT_NE(from, std::string::npos) << run.out;
        const std::size_t to = run.out.find("@@status=", from);
        ASSERT_NE(to, std::string::npos) << run.out;
        const std::string out = run.out.substr(from + begin.size(), to - from - begin.size());
        const int status = std::stoi(run.out.substr(to + 9));
        const std::string where = "upload " + std::to_string(i) + " of " + u.name + ":\n" + out;
        if (u.wantStatus)
            EXPECT_EQ(status, *u.wantStatus) << where << run.err;
        else
            EXPECT_NE(status, 0) << where << run.err;
        for (const std::string& want : u.in)
            EXPECT_NE(out.find(want), std::string::npos) << want << "\n" << where;
        for (const std::string& unwanted : u.notIn)
            EXPECT_EQ(out.find(unwanted), std::string::npos) << unwanted << "\n" << where;
    }

    std::map<std::string, std::size_t> want; // name -> size
    for (std::size_t i : c.wantStored) {
        const Upload& u = c.uploads.at(i);
        want[u.name] = u.size;
        const fs::path path = work.store() / u.name;
        const std::string stored = contentOf(path);
        EXPECT_TRUE(stored == bytes[i])
            << u.name << ": " << stored.size() << " bytes, want the " << u.size << " of upload " << i;
        EXPECT_NE(run.err.find("routersim: ftp: stored " + std::to_string(u.size) + " bytes in " +
                               path.string() + "\n"),
                  std::string::npos)
            << run.err;
    }
    std::map<std::string, std::size_t> found;
    for (const auto& entry : fs::directory_iterator(work.store()))
        found[entry.path().filename().string()] = entry.file_size();
    EXPECT_EQ(found, want) << run.err; // nothing half-written is left
    EXPECT_EQ(countLines(run.err, "routersim: ftp: stored "), c.wantStored.size()) << run.err;

    for (const std::string& line : c.wantErr)
        EXPECT_NE(run.err.find(line), std::string::npos) << line << "\n" << run.err;
    for (const std::string& line : c.notInErr)
        EXPECT_EQ(run.err.find(line), std::string::npos) << line << "\n" << run.err;
    // The server ends with routersim, and routersim itself ends it, before it exits.
    const std::size_t ended = run.err.find("routersim: ftp: ended the FTP server of 192.168.0.1: status 0\n");
    EXPECT_NE(ended, std::string::npos) << run.err;
    const std::size_t exited = run.err.find("testlan: router exited with status 0");
    EXPECT_NE(exited, std::string::npos) << run.err;
    EXPECT_LT(ended, exited) << run.err;
    EXPECT_EQ(run.err.find("ended early"), std::string::npos) << run.err;
}

const std::string kDone = "< 226 ";
const std::string kUserIn = "< 230 ";
const std::string kBadLogin = "< 530 Authentication failed.";

INSTANTIATE_TEST_SUITE_P(
    Uploads, FtpOnTheLan,
    testing::Values(
        FtpCase{"TwoFilesAreStoredByteForByteUnderTheirNames",
                {},
                {{.name = "fw-a.bin", .size = 300001, .in = {kUserIn, "PORT 10,77,0,2,", kDone}},
                 {.name = "fw-b.bin", .size = 70000, .mode = Mode::Passive, .in = {"PASV", kDone}}},
                {0, 1},
                {"routersim: device 1 at 192.168.0.1: module 'XY', detail '1.0', FTP on TCP 21",
                 "routersim: ftp: 10.77.0.2:"}},
        FtpCase{"AnEmptyFileIsStoredEmpty", {}, {{.name = "empty.bin", .size = 0, .in = {kDone}}}, {0}},
        FtpCase{"AWrongPasswordIsRefusedWith530",
                {},
                {{.name = "fw.bin", .size = 1000, .password = "pw-8", .wantStatus = 67, .in = {kBadLogin}}},
                {},
                {"USER 'root' failed login."}},
        FtpCase{"RefusedLoginsAre530EvenWithTheRightPassword",
                {"--ftp-refuse-login"},
                {{.name = "fw.bin", .size = 1000, .wantStatus = 67, .in = {kBadLogin}, .notIn = {kUserIn}}}},
        FtpCase{"ARefusedNameIs550BeforeAnyDataAndOthersAreStored",
                {"--ftp-refuse-name", "bad.bin"},
                {{.name = "bad.bin",
                  .size = 5000,
                  .wantStatus = std::nullopt,
                  .in = {"STOR bad.bin", "< 550 "},
                  .notIn = {"< 150 ", "< 125 ", kDone}},
                 {.name = "good.bin", .size = 5000, .in = {kDone}}},
                {1}},
        FtpCase{"The429NameIsTakenAndKeptButAnswered429",
                {"--ftp-429", "busy.bin"},
                {{.name = "busy.bin",
                  .size = 80000,
                  .wantStatus = std::nullopt,
                  .in = {"< 429 "},
                  .notIn = {kDone}},
                 {.name = "other.bin", .size = 80000, .in = {kDone}}},
                {0, 1}},
        // A file smaller than the socket buffers stalls too: the server never reads its end.
        FtpCase{"AStalledUploadDoesNotFinishAndNothingIsStored",
                {"--ftp-stall-after", "500"},
                {{.name = "big.bin", .size = 4 << 20, .maxTime = 3, .wantStatus = 28, .notIn = {kDone}},
                 {.name = "small.bin",
                  .size = 1000,
                  .mode = Mode::Passive,
                  .maxTime = 3,
                  .wantStatus = 28,
                  .notIn = {kDone}}},
                {},
                {"routersim: ftp: stalled ", "big.bin after 500 bytes", "small.bin after 500 bytes"}}),
    [](const auto& info) { return std::string(info.param.label); });

// Port 21 of the device's address is taken, so its server ends before its ready line. This runs on the PC
// side, whose one address 10.77.0.2 stands in for the device's.
TEST(FtpService, AServerThatEndsBeforeItIsReadyFailsRoutersim)
{
    LanWorkspace work("routersimftp");
    const std::string script =
        "exec 3< <(exec python3 -c 'import socket, time\n"
        "s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
        "s.bind((\"10.77.0.2\", 21)); s.listen(); print(\"bound\", flush=True); time.sleep(60)')\n"
        "read -r line <&3 && [ \"$line\" = bound ] || exit 99\n"
        "\"$0\" --device addr=10.77.0.2,module=XY,ftp=on --store \"$1\"; echo \"@@status=$?\"\n";
    const RunResult run = runOnLan({}, {"bash", "-c", script, routersimPath(), work.store().string()});
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("@@status=1\n"), std::string::npos) << run.out << run.err;
    EXPECT_EQ(run.out.find("routersim: ready"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("routersim: ftp: cannot listen on 10.77.0.2:21"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("routersim: the FTP server of 10.77.0.2 ended before it was ready, with status 1"),
              std::string::npos)
        << run.err;
}

const std::string kFtp = "addr=192.168.0.1,module=XY,ftp=on";

INSTANTIATE_TEST_SUITE_P(
    FtpOptions, RoutersimRejects,
    testing::Values(
        BadCase{"FtpNeitherOnNorOff",
                {"--device", "addr=192.168.0.1,module=XY,ftp=yes"},
                "ftp=yes is not on or off"},
        BadCase{"FtpWithoutAStore", {"--device", kFtp}, "a device has ftp=on, but no --store DIR is given"},
        BadCase{"FtpOnACrashedDevice",
                {"--store", "/tmp", "--device", "addr=192.168.0.1,module=XY,ftp=on,tftp=on"},
                "a crashed device has no FTP server"},
        BadCase{"TwoFtpDevicesOnOneAddress",
                {"--store", "/tmp", "--device", kFtp, "--device", kFtp},
                "two devices with ftp=on"},
        BadCase{"FtpOptionWithoutAnFtpDevice",
                {"--device", "addr=192.168.0.1,module=XY,web=on", "--ftp-refuse-login"},
                "--ftp-refuse-login is given, but no device has ftp=on"},
        BadCase{"PasswordWithoutWebOrFtp",
                {"--device", "addr=192.168.0.1,module=XY", "--password", "x"},
                "--password is given, but no device has web=on or ftp=on"},
        BadCase{"RefusedNameWithoutAValue",
                {"--store", "/tmp", "--device", kFtp, "--ftp-refuse-name"},
                "needs a value"},
        BadCase{"RefusedNameWithASlash",
                {"--store", "/tmp", "--device", kFtp, "--ftp-refuse-name", "a/b.bin"},
                "--ftp-refuse-name wants a file name without '/'"},
        BadCase{"Empty429Name",
                {"--store", "/tmp", "--device", kFtp, "--ftp-429", ""},
                "--ftp-429 wants a file name"},
        BadCase{"The429NameRefusedToo",
                {"--store", "/tmp", "--device", kFtp, "--ftp-refuse-name", "x.bin", "--ftp-429", "x.bin"},
                "name the same file"},
        BadCase{"StallOfANegativeCount",
                {"--store", "/tmp", "--device", kFtp, "--ftp-stall-after", "-1"},
                "--ftp-stall-after -1 is not a number of bytes"},
        BadCase{"StallOfAWord",
                {"--store", "/tmp", "--device", kFtp, "--ftp-stall-after", "lots"},
                "is not a number of bytes"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FtpOptions, HelpDescribesThem)
{
    const RunResult run = runOnLan({}, {routersimPath(), "--help"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* word :
         {"ftp=on|off", "FTP OPTIONS", "--ftp-refuse-login", "--ftp-refuse-name NAME", "--ftp-429 NAME",
          "--ftp-stall-after N", "keep the file", "elradfmw", "routersim: ftp: stored N bytes in PATH"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

} // namespace
