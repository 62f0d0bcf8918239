// tests/lan/TftpLoaderTest.cpp: routersim's TFTP loader of a crashed device on the router side of the test
// LAN, driven by lan_probe's lock-step TFTP client: what it stores, how it answers, the faults it plays on
// request, the breaches it reports and its reboot.
#include "tests/lan/LanRun.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr char kDevice[] = "addr=192.168.0.1,module=XY,detail=1.0,answers=crash,tftp=on";
constexpr char kAddress[] = "192.168.0.1";

// A folder of its own for each case: the files to send, and the loader's store.
class Workspace : public LanWorkspace {
public:
    Workspace() : LanWorkspace("tftploader") {}
    // A file of size bytes whose bytes differ from block to block and from file to file.
    fs::path makeFile(std::size_t index, std::size_t size) const
    {
        const fs::path path = root() / ("in" + std::to_string(index));
        std::ofstream out(path, std::ios::binary);
        std::uint32_t state = 2463534242u + static_cast<std::uint32_t>(index);
        for (std::size_t i = 0; i < size; ++i) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            out.put(static_cast<char>(state & 0xFF));
        }
        return path;
    }
};

std::set<std::string> namesIn(const fs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename().string());
    return names;
}

// One run of lan_probe on the PC side; "@K" in its arguments stands for the file K of the case.
struct Step {
    std::vector<std::string> args;
};

Step put(std::size_t file, const std::string& name, std::vector<std::string> options = {})
{
    options.insert(options.end(), {"tftp-put", "@" + std::to_string(file), name, kAddress});
    return {options};
}

struct Stored {
    std::string name;
    std::size_t file;                       // the input it must equal byte for byte
    std::size_t length = std::string::npos; // set: only this many of its first bytes
};

struct LoaderCase {
    const char* label;
    std::vector<std::string> loaderOptions; // beyond --store
    std::vector<std::size_t> fileSizes;
    std::vector<Step> steps;
    std::vector<int> wantStatus;    // lan_probe's, step by step
    std::vector<Stored> wantStored; // and nothing else in the store
    std::vector<std::string> wantOut = {};
    std::vector<std::string> wantErr = {};
    std::size_t wantProtocolErrors = 0;
    std::vector<std::string> notInOut = {};
};
void PrintTo(const LoaderCase& c, std::ostream* os)
{
    *os << c.label;
}

class LoaderOnTheLan : public testing::TestWithParam<LoaderCase> {};

TEST_P(LoaderOnTheLan, StoresAnswersAndReportsAsTold)
{
    const LoaderCase& c = GetParam();
    Workspace work;
    std::vector<fs::path> files;
    for (std::size_t i = 0; i < c.fileSizes.size(); ++i) files.push_back(work.makeFile(i, c.fileSizes[i]));
    std::string script;
    for (const Step& step : c.steps) {
        script += "\"$0\"";
        for (std::string arg : step.args) {
            if (arg.starts_with("@")) arg = files.at(std::stoul(arg.substr(1))).string();
            script += " " + shellQuote(arg);
        }
        script += "; echo \"status=$?\"\n";
    }
    std::vector<std::string> options{"--store", work.store().string()};
    options.insert(options.end(), c.loaderOptions.begin(), c.loaderOptions.end());
    const RunResult run =
        runOnLan({{kAddress}, {}, {kDevice}, options}, {"bash", "-c", script, lanProbePath()});
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    std::vector<int> status;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("status=")) status.push_back(std::stoi(line.substr(7)));
    }
    EXPECT_EQ(status, c.wantStatus) << run.out << run.err;

    std::set<std::string> wantNames;
    for (const Stored& s : c.wantStored) {
        wantNames.insert(s.name);
        EXPECT_TRUE(contentOf(work.store() / s.name) == contentOf(files.at(s.file)).substr(0, s.length))
            << s.name << " differs from its input of " << c.fileSizes.at(s.file) << " bytes";
    }
    EXPECT_EQ(namesIn(work.store()), wantNames) << run.err; // nothing half-written is left

    for (const std::string& want : c.wantOut)
        EXPECT_NE(run.out.find(want), std::string::npos) << want << "\n" << run.out;
    for (const std::string& want : c.wantErr)
        EXPECT_NE(run.err.find(want), std::string::npos) << want << "\n" << run.err;
    EXPECT_EQ(countLines(run.err, "routersim: protocol error: "), c.wantProtocolErrors) << run.err;
    for (const std::string& unwanted : c.notInOut)
        EXPECT_EQ(run.out.find(unwanted), std::string::npos) << unwanted << "\n" << run.out;
}

const std::string kPort69 = "192.168.0.1:69\n";

INSTANTIATE_TEST_SUITE_P(
    Routersim, LoaderOnTheLan,
    testing::Values(LoaderCase{"EmptyFileIsOneEmptyBlock",
                               {},
                               {0},
                               {put(0, "main.bin.tmp")},
                               {0},
                               {{"main.bin.tmp", 0}},
                               {"put main.bin.tmp: 0 bytes in 1 blocks, last ack from " + kPort69}},
                    LoaderCase{"FileOf1000BytesIsStoredByteForByte",
                               {},
                               {1000},
                               {put(0, "main.bin.tmp")},
                               {0},
                               {{"main.bin.tmp", 0}},
                               {"put main.bin.tmp: 1000 bytes in 2 blocks"}},
                    LoaderCase{"FileOfWholeBlocksEndsWithAnEmptyOne",
                               {},
                               {1024},
                               {put(0, "main.bin.tmp")},
                               {0},
                               {{"main.bin.tmp", 0}},
                               {"put main.bin.tmp: 1024 bytes in 3 blocks"}},
                    LoaderCase{"FilesOfHundredsOfKilobytesAreStoredOneAfterTheOther",
                               {},
                               {300 * 1024 + 17, 512 * 700},
                               {put(0, "main.bin.tmp"), put(1, "web.bin.tmp")},
                               {0, 0},
                               {{"main.bin.tmp", 0}, {"web.bin.tmp", 1}},
                               {"in 601 blocks", "in 701 blocks"}},
                    LoaderCase{"AcksComeFromPort69",
                               {},
                               {1000},
                               {put(0, "a.bin")},
                               {0},
                               {{"a.bin", 0}},
                               {"ack 0 from " + kPort69, "last ack from " + kPort69}},
                    LoaderCase{"AcksFromATransferPortWhileDataStillGoesTo69",
                               {"--ack-from", "transfer"},
                               {1000, 600},
                               {put(0, "a.bin"), put(1, "b.bin")},
                               {0, 0},
                               {{"a.bin", 0}, {"b.bin", 1}},
                               {"ack 0 from 192.168.0.1:", "last ack from 192.168.0.1:"},
                               {"transfer port ", "-> 192.168.0.1:69 492 bytes: 00 03 00 02 ",
                                "-> 192.168.0.1:69 92 bytes: 00 03 00 02 "},
                               0,
                               {"from " + kPort69}},
                    LoaderCase{"SecondWriteRequestIsRefusedWithAnError",
                               {"--refuse-write", "2"},
                               {700, 800, 900},
                               {put(0, "a.bin"), put(1, "b.bin"), put(2, "c.bin")},
                               {0, 1, 0},
                               {{"a.bin", 0}, {"c.bin", 2}},
                               {"error from 192.168.0.1:69: 2 file refused"},
                               {"write request 2 of 'b.bin' refused"}},
                    LoaderCase{"FileIsRefusedByName",
                               {"--refuse-name", "web.bin.tmp"},
                               {700, 800},
                               {put(0, "main.bin.tmp"), put(1, "web.bin.tmp")},
                               {0, 1},
                               {{"main.bin.tmp", 0}},
                               {"error from 192.168.0.1:69: 2 file refused"}},
                    LoaderCase{"SilentAfterBlockNEvenForANewFile",
                               {"--stop-after-block", "2"},
                               {2000, 10},
                               {put(0, "a.bin", {"--wait", "400"}), put(1, "b.bin", {"--wait", "400"})},
                               {1, 1},
                               {},
                               {"no ack of block 3 within 400 ms", "no ack of block 0 within 400 ms"},
                               {"the loader hangs after block 2"}},
                    LoaderCase{"DroppedAckLeavesTheClientWaitingOnce",
                               {"--drop-ack", "1"},
                               {1000},
                               {put(0, "a.bin", {"--wait", "400"}), put(0, "a.bin", {"--wait", "400"})},
                               {1, 0},
                               {{"a.bin", 0}},
                               {"no ack of block 1 within 400 ms", "put a.bin: 1000 bytes"},
                               {"ACK of block 1 left out, once"}},
                    LoaderCase{"LateAcksAreWaitedForOrTimedOut",
                               {"--ack-delay-ms", "150"},
                               {1000, 100},
                               {put(0, "a.bin", {"--wait", "1000"}), put(1, "b.bin", {"--wait", "50"})},
                               {0, 1},
                               {{"a.bin", 0}},
                               {"put a.bin: 1000 bytes", "no ack of block 0 within 50 ms"},
                               {"ACK of block 2 of device 1 XY, late"}},
                    LoaderCase{"SkippedBlockIsAProtocolError",
                               {},
                               {2000},
                               {put(0, "a.bin", {"--skip-block", "2"})},
                               {1},
                               {},
                               {"error from " + std::string(kAddress)},
                               {"routersim: protocol error: DATA block 3 where block 2 was due"},
                               1},
                    LoaderCase{"RepeatedBlockIsAProtocolErrorAndAcknowledgedAgain",
                               {},
                               {2000},
                               {put(0, "a.bin", {"--repeat-block", "2"})},
                               {0},
                               {{"a.bin", 0}},
                               {"put a.bin: 2000 bytes in 4 blocks"},
                               {"routersim: protocol error: DATA block 2 repeated"},
                               1},
                    LoaderCase{"ShortBlockBeforeTheEndIsAProtocolError",
                               {},
                               {2000},
                               {put(0, "a.bin", {"--short-block", "2"})},
                               {1},
                               {{"a.bin", 0, 512 + 100}}, // the loader takes the short block for the last one
                               {"error from " + std::string(kAddress)},
                               {"routersim: protocol error: DATA block 3 after the end of 'a.bin'"},
                               1},
                    LoaderCase{
                        "ModeOtherThanOctetIsAProtocolError",
                        {},
                        {100},
                        {put(0, "a.bin", {"--mode", "netascii"})},
                        {1},
                        {},
                        {"error from 192.168.0.1:69: 0 "},
                        {"routersim: protocol error: write request of 'a.bin' in mode 'netascii', not octet"},
                        1},
                    LoaderCase{"DataWithoutAWriteRequestIsAProtocolError",
                               {},
                               {},
                               {{{"raw", "--port", "69", "--bytes", "00030001aabb", kAddress}}},
                               {0},
                               {},
                               {"reply from 192.168.0.1:69 "},
                               {"routersim: protocol error: DATA block 1 for a transfer not begun"},
                               1}),
    [](const auto& info) { return std::string(info.param.label); });

std::string hex(const std::string& bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0xF];
    }
    return text;
}

// After the reboot request the device answers nothing, on port 9 or 69, for the reboot time; then it is a
// device with working firmware: the normal probe, with the new detail text.
TEST(LoaderReboot, SilentForTheRebootTimeThenAnswersTheNormalProbeWithTheNewDetail)
{
    Workspace work;
    const fs::path file = work.makeFile(0, 1500);
    const std::string script = R"sh(p=$0; f=$1
"$p" --wait 300 normal 192.168.0.1; echo "crashed-normal=$?"
"$p" tftp-put "$f" main.bin.tmp 192.168.0.1; echo "put=$?"
"$p" rr 192.168.0.1; echo "reboot=$?"
start=$(date +%s%N)
"$p" --wait 400 normal 192.168.0.1; echo "rebooting-normal=$?"
"$p" --wait 300 crash 192.168.0.1; echo "rebooting-crash=$?"
"$p" --wait 300 tftp-put "$f" again.bin 192.168.0.1; echo "rebooting-put=$?"
echo "silent-ms=$(( ($(date +%s%N) - start) / 1000000 ))"
sleep 1.2
"$p" --wait 1000 normal 192.168.0.1; echo "up-normal=$?"
"$p" --wait 300 crash 192.168.0.1; echo "up-crash=$?")sh";
    const RunResult run = runOnLan(
        {{kAddress},
         {},
         {kDevice},
         {"--store", work.store().string(), "--reboot-ms", "2000", "--recovered-detail", "2.0-fixed"}},
        {"bash", "-c", script, lanProbePath(), file.string()});
    SKIP_WITHOUT_LAN(run.status, run.err);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    for (const char* want : {"crashed-normal=1\n", "put=0\n", "reboot=0\n", "rebooting-normal=1\n",
                             "rebooting-crash=1\n", "rebooting-put=1\n", "up-normal=0\n", "up-crash=1\n"})
        EXPECT_NE(run.out.find(want), std::string::npos) << want << "\n" << run.out << run.err;
    std::smatch silent;
    ASSERT_TRUE(std::regex_search(run.out, silent, std::regex(R"(silent-ms=(\d+))"))) << run.out;
    EXPECT_LT(std::stoi(silent[1]), 2000) << "the silent probes came too late to tell anything";

    std::string normalReply(68, '\0');
    normalReply.replace(12, 9, "2.0-fixed");
    normalReply.replace(44, 2, "XY");
    EXPECT_NE(run.out.find("reply from 192.168.0.1:9 68 bytes: " + hex(normalReply) + "\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(namesIn(work.store()), std::set<std::string>{"main.bin.tmp"});
    EXPECT_EQ(countLines(run.err, "routersim: protocol error: "), 0u) << run.err;
    EXPECT_EQ(countLines(run.err, "routersim:   device 1 reboots: not answered"), 1u) << run.err; // the put
}

TEST(LoaderOptions, HelpDescribesThem)
{
    const RunResult run = runOnLan({}, {routersimPath(), "--help"});
    SKIP_WITHOUT_LAN(run.status, run.err);
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* word : {"tftp=on", "--store DIR", "--ack-from 69|transfer", "--ack-delay-ms",
                             "--reboot-ms", "--recovered-detail", "--refuse-write", "--refuse-name",
                             "--stop-after-block", "--drop-ack", "routersim: protocol error: "})
        EXPECT_NE(run.out.find(word), std::string::npos) << word << "\n" << run.out;
}

} // namespace
