// An unattended recovery of a crashed simulated router over a slow link: the test LAN holds every packet
// 1 ms on its way in and 1 ms on its way out (nfdelay), so every lock-step block waits a round trip of
// more than 2 ms, and a transfer outlasts the watchdog's limit unless each acknowledged block resets it.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "tests/e2e/ProcessRunner.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

struct SlowLinkCase {
    const char* label;
    std::size_t imageSize;
    std::optional<int> timeout; // seconds in the settings; nullopt: no timeout line, the default of 40
    int steadyTicks;            // watchdog ticks the transfer must outlast, each logged as "StopCounter : 1"
};
void PrintTo(const SlowLinkCase& c, std::ostream* os)
{
    *os << c.label;
}

std::size_t countLines(const std::string& text, const std::string& line)
{
    std::size_t count = 0;
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);) count += l == line;
    return count;
}

class LanSlowLink : public ::testing::TestWithParam<SlowLinkCase> {
protected:
    std::optional<fw::TempDir> work = fw::TempDir::create("fwe2e-slow-");
    std::string tmp = work->prefix() + "tmp";
    std::string store = work->prefix() + "store";

    void SetUp() override
    {
        ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(store.c_str(), 0700), 0);
    }
    void TearDown() override
    {
        EXPECT_TRUE(fw::directoryEntries(tmp).empty());
        std::error_code ignored;
        std::filesystem::remove_all(work->path(), ignored);
    }
    // No two blocks of the image are alike, so a block sent twice, left out or out of order shows.
    std::string image(std::size_t size)
    {
        std::mt19937 random{static_cast<unsigned>(size)};
        std::string content(size, '\0');
        for (char& c : content) c = static_cast<char>(random());
        fw::File::createTruncated(work->prefix() + "image.bin").write(fw::asBytes(content));
        return content;
    }
    std::string pack(std::optional<int> timeout)
    {
        std::string manifest = "[settings]\nmethod = put\naddress = 192.168.1.1\n";
        if (timeout) manifest += "timeout = " + std::to_string(*timeout) + "\n";
        manifest += "\n[image]\nfile = image.bin\nmethods = tftp\n";
        fw::File::createTruncated(work->prefix() + "bundle.manifest").write(fw::asBytes(manifest));
        const std::string program = work->prefix() + "fwupgrade-recover";
        const Outcome o = packShipped(program, work->prefix() + "bundle.manifest");
        EXPECT_EQ(o.status, 0) << o.err;
        return program;
    }
    Outcome recoverOverSlowLink(const std::string& program)
    {
        RunSpec spec;
        spec.argv = {sourcePath("tests/lan/testlan.sh"),
                     "--router-addr",
                     "192.168.1.1",
                     "--delay-ms",
                     "1",
                     "--delayer",
                     FW_NFDELAY_PATH,
                     "--router",
                     binary("routersim") +
                         " --device addr=192.168.1.1,module=VN100,answers=crash,tftp=on --store " + store +
                         " --reboot-ms 500 2>/dev/null", // a line for every datagram: thousands here
                     "--",
                     "env",
                     "TMPDIR=" + tmp,
                     "FWUPGRADE_CONSOLE=1",
                     program};
        spec.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"LANG", "C.UTF-8"}};
        spec.limit = std::chrono::seconds{100};
        return runCommand(spec);
    }
};

TEST_P(LanSlowLink, SendsTheWholeImageToTheEnd)
{
    const SlowLinkCase& c = GetParam();
    const std::string content = image(c.imageSize);
    const Outcome o = recoverOverSlowLink(pack(c.timeout));
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_THAT(o.err, HasSubstr("testlan: every packet on rt0 is held 1 ms each way\n"));
    const auto stored = fw::File::openRead(store + "/image.bin.tmp").readAll();
    ASSERT_TRUE(stored) << o.out << o.err;
    EXPECT_EQ(stored->size(), content.size());
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(stored->data()), stored->size()) == content)
        << "the stored file differs from the image";
    EXPECT_THAT(o.out, HasSubstr("\n Recover Success\n"));
    EXPECT_THAT(o.err, Not(HasSubstr("[box]")));
    // Each tick during the transfer finds the counter reset by the blocks acknowledged since the last one.
    // Without the resets the limit's tick would have ended the run.
    EXPECT_GE(countLines(o.out, "StopCounter : 1"), static_cast<std::size_t>(c.steadyTicks)) << o.out;
}

INSTANTIATE_TEST_SUITE_P(
    Recovery, LanSlowLink,
    ::testing::Values(SlowLinkCase{"FourMiBWithTheDefaultTimeout", 4u << 20, std::nullopt, 0},
                      SlowLinkCase{"OneMiBOutlastingAThreeSecondTimeout", 1u << 20, 3, 3}),
    [](const auto& info) { return std::string(info.param.label); });

} // namespace
} // namespace e2e
