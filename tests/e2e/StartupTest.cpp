// The built fwupgrade and fwbundle from the outside: bundles read, boxes printed, exit statuses, and
// no temporary file left behind however the program ends.
#include "bundle/BundleWriter.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "tests/e2e/ProcessRunner.h"

#include <csignal>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <regex>

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::vector<std::byte> bytesOf(const std::string& path)
{
    return fw::File::openRead(path).readAll().value_or(std::vector<std::byte>{});
}

class Startup : public ::testing::Test {
protected:
    std::optional<fw::TempDir> work = fw::TempDir::create("fwe2e-");
    std::string tmp = work->prefix() + "tmp";

    std::string runtime = work->prefix() + "runtime"; // Qt's, kept out of TMPDIR

    void SetUp() override
    {
        ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    }
    void TearDown() override
    {
        // However the program ended, its private directory is gone.
        EXPECT_THAT(fw::directoryEntries(tmp), ::testing::IsEmpty());
        ::rmdir(tmp.c_str());
        ::rmdir(runtime.c_str());
    }

    std::map<std::string, std::string> environment(bool console = true) const
    {
        std::map<std::string, std::string> env{
            {"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"TMPDIR", tmp}, {"LANG", "C.UTF-8"}};
        for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) env[name] = value; // a sanitizer build's settings
        }
        if (console) {
            env["FWUPGRADE_CONSOLE"] = "1";
        } else {
            env["FWUPGRADE_CONSOLE"] = "0";
            env["QT_QPA_PLATFORM"] = "offscreen";
            env["XDG_RUNTIME_DIR"] = runtime;
        }
        return env;
    }
    Outcome run(std::vector<std::string> argv, bool console = true)
    {
        RunSpec spec;
        spec.argv = std::move(argv);
        spec.env = environment(console);
        return runIsolated(spec);
    }
    // A copy of fwupgrade with these records, written by the test.
    std::string shipped(const std::vector<bundle::BundleRecord>& records,
                        std::uint16_t version = bundle::kVersion)
    {
        const std::string path = work->prefix() + "shipped";
        fw::File out = fw::File::createTruncated(path, 0755);
        EXPECT_TRUE(out.write(bundle::composeBundle(bytesOf(binary("fwupgrade")), records, version)));
        return path;
    }
    // The private directory's name as a pattern: TMPDIR/fwupgrade-XXXXXX/.
    std::string privateDir() const { return tmp + "/fwupgrade-[A-Za-z0-9]{6}/"; }
};

const std::string kVersionLines = "Program Version V1.1.1e\nProgram build at 2002/02/19 pm 1:48\n";
// An interactive start in a namespace without devices: the search finds nothing, a person is needed.
const std::string kSearchedNothing =
    "[status] Please Wait for Searching Router...\n[status] 0 device found\n[needs a person]\n";

TEST_F(Startup, AShippedProgramListsItsBundleAndWaitsForAPerson)
{
    const std::string image = work->prefix() + "main.bin";
    fw::File::createTruncated(image).write(fw::asBytes("firmware image bytes"));
    const std::string program = work->prefix() + "fwupgrade-shipped";
    Outcome packed = run({binary("fwbundle"), "pack", "-o", program, binary("fwupgrade"), image + ":0x080D"});
    SKIP_UNLESS_ISOLATED(packed);
    ASSERT_EQ(packed.status, 0) << packed.err;

    Outcome listed = run({binary("fwbundle"), "list", program});
    EXPECT_EQ(listed.out, "0 0x080D 20 main.bin\n    [image] methods = http ftp tftp, models = any, section "
                          "= 0, keep-name = no\n");

    const Outcome started = run({program});
    EXPECT_EQ(started.status, 3);
    EXPECT_TRUE(std::regex_match(started.out, std::regex{kVersionLines + "Imbed file 0 : " + privateDir() +
                                                         "fwupgrade-shipped\\.tmp\n"
                                                         "Imbed File Attrib : 0\n"
                                                         "Imbed file 1 : " +
                                                         privateDir() +
                                                         "main\\.bin\\.tmp\n"
                                                         "Imbed File Attrib : 2061\n"}))
        << started.out;
    EXPECT_EQ(started.err, kSearchedNothing);
}

TEST_F(Startup, AStartMessagePrintsAndClosesByItself)
{
    std::vector<std::byte> message(125);
    const std::string caption = "Welcome", text = "Line one\nLine two";
    std::memcpy(message.data() + 16, caption.data(), caption.size());
    message[80] = std::byte{50}; // five seconds: the console does not wait for them
    message[82] = message[83] = std::byte{1};
    message[118] = static_cast<std::byte>(text.size());
    message[124] = std::byte{1};
    for (const char c : text) message.push_back(static_cast<std::byte>(c));
    const Outcome o = run({shipped({{"welcome", 0x0401, message}})});
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 3);
    EXPECT_THAT(o.err, StartsWith("[message] Welcome: Line one\\nLine two\n"));
}

TEST_F(Startup, AMessageAuthoredWithTheManifestShowsAtStart)
{
    fw::File::createTruncated(work->prefix() + "welcome.rtf")
        .write(fw::asBytes(
            R"({\rtf1\ansi{\colortbl ;\red200\green0\blue0;}Welcome to the \b\cf1 R2\b0\cf0  upgrade.})"));
    fw::File::createTruncated(work->prefix() + "main.bin").write(fw::asBytes("firmware"));
    fw::File::createTruncated(work->prefix() + "r2.manifest")
        .write(
            fw::asBytes("[message]\nfile = welcome.rtf\ncaption = Welcome\nshown = start\nlive-time = 1\n\n"
                        "[image]\nfile = main.bin\n"));
    const std::string program = work->prefix() + "fwupgrade-r2";
    const Outcome packed = run({binary("fwbundle"), "pack", "-o", program, binary("fwupgrade"), "--manifest",
                                work->prefix() + "r2.manifest"});
    SKIP_UNLESS_ISOLATED(packed);
    ASSERT_EQ(packed.status, 0) << packed.err;
    const Outcome o = run({program});
    EXPECT_EQ(o.status, 3);
    EXPECT_THAT(o.err, StartsWith("[message] Welcome: Welcome to the R2 upgrade.\n"));
}

TEST_F(Startup, AnUnsupportedVersionEndsWithItsBox)
{
    const Outcome o = run({shipped({{"main.bin", 0x080D, {std::byte{1}}}}, 3)});
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.out, kVersionLines);
    EXPECT_EQ(o.err, "[box] Version Not support: Please change append tool to version V1.23.\n");
}

TEST_F(Startup, AnUnreadableRecordEndsWithTheReadBoxesAndRemovesWhatWasWritten)
{
    const std::string path = shipped({{"first.bin", 0x080D, std::vector<std::byte>(10)},
                                      {"second.bin", 0x080D, std::vector<std::byte>(10)}});
    auto bytes = bytesOf(path);
    const std::size_t second = bytesOf(binary("fwupgrade")).size() + 38 + 10;
    bytes[second] = std::byte{20}; // a record length of 20, below the header's 38
    bytes[second + 1] = bytes[second + 2] = bytes[second + 3] = std::byte{0};
    fw::File::createTruncated(path, 0755).write(bytes);

    const Outcome o = run({path});
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err, "[box] File Error: Error to open file in read_imbed_file function\n"
                     "[box] Initial Error: Read Imbed File Error !!\n");
}

struct CommandLineCase {
    const char* label;
    std::vector<std::string> args;
    std::string out; // after the version lines
    std::string err;
    friend void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.label; }
};

class CommandLineStart : public Startup, public ::testing::WithParamInterface<CommandLineCase> {};

TEST_P(CommandLineStart, LogsItsLinesAndWaitsForAPerson)
{
    std::vector<std::string> argv{binary("fwupgrade")};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    const Outcome o = run(argv);
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.out, kVersionLines + GetParam().out);
    EXPECT_EQ(o.err, GetParam().err);
    EXPECT_EQ(o.status, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandLineStart,
    ::testing::Values(CommandLineCase{"PutWithNulls",
                                      {"put", "10.0.0.1", "null", "null"},
                                      "Set DstIP = 10.0.0.1 in parameter input\n"
                                      "Set password = null in parameter input\n"
                                      "Set ROMID = null in parameter input\n",
                                      // Not found: the first tick searches and the
                                      // user continues by hand.
                                      "[status] 0 device found\n" + kSearchedNothing},
                      CommandLineCase{"SetWithABadSixthArgument",
                                      {"set", "a", "b", "c", "f.bin", "x"},
                                      "Set DstIP = a in parameter input\n"
                                      "Set password = b in parameter input\n"
                                      "Set ROMID = c in parameter input\n"
                                      "Clear all setting by parameter input error.\n"
                                      "No Imbed File Found !!\n",
                                      kSearchedNothing},
                      CommandLineCase{"NoArguments", {}, "No Imbed File Found !!\n", kSearchedNothing}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Startup, OptionsAnswerWithoutStartingAWindow)
{
    const Outcome help = run({binary("fwupgrade"), "--help"});
    SKIP_UNLESS_ISOLATED(help);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: fwupgrade"));

    const Outcome version = run({binary("fwupgrade"), "--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, kVersionLines);

    const Outcome unknown = run({binary("fwupgrade"), "put", "--frobnicate"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.err, HasSubstr("unknown option '--frobnicate'"));
    EXPECT_TRUE(unknown.out.empty());
}

TEST_F(Startup, InterfacesAreListedAndAnUnknownOneIsRefused)
{
    const Outcome listed = run({binary("fwupgrade"), "--list-interfaces"});
    SKIP_UNLESS_ISOLATED(listed);
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, "lo  up  virtual  127.0.0.1/8\n"); // the namespace holds only loopback

    const Outcome unknown = run({binary("fwupgrade"), "--interface", "eth9", "put", "a", "b", "c"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.err, HasSubstr("no network interface named 'eth9'"));
    EXPECT_TRUE(unknown.out.empty());
}

class EndedBySignal : public Startup, public ::testing::WithParamInterface<int> {};

TEST_P(EndedBySignal, RemovesTheTemporaryFiles)
{
    // The window waits for a person for ever; the signal comes once its files are written.
    const int signal = GetParam();
    const std::string program = shipped({{"main.bin", 0x080D, std::vector<std::byte>(100)}});
    bool sent = false;
    RunSpec r;
    r.argv = {program};
    r.env = environment(false);
    r.limit = std::chrono::seconds{30};
    r.whileRunning = [&](pid_t pid) {
        if (sent) return;
        for (const std::string& dir : fw::directoryEntries(tmp)) {
            if (fw::directoryEntries(tmp + "/" + dir).size() == 2) { // the program copy and main.bin.tmp
                ::kill(pid, signal);
                sent = true;
            }
        }
    };
    const Outcome o = runIsolated(r);
    SKIP_UNLESS_ISOLATED(o);
    ASSERT_TRUE(sent) << o.err;
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.status, 128 + signal);
}

INSTANTIATE_TEST_SUITE_P(Signals, EndedBySignal, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

} // namespace
} // namespace e2e
