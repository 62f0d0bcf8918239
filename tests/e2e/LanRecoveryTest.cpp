// An unattended recovery of a crashed simulated router over TFTP on the test LAN, with the built
// fwupgrade on the console front end and a bundle authored with fwbundle.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "tests/e2e/ProcessRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class LanRecovery : public ::testing::Test {
protected:
    std::optional<fw::TempDir> work = fw::TempDir::create("fwe2e-tftp-");
    std::string tmp = work->prefix() + "tmp";
    std::string store = work->prefix() + "store";
    std::map<std::string, std::string> images;

    void SetUp() override
    {
        ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(store.c_str(), 0700), 0);
    }
    void image(const std::string& name, std::size_t size)
    {
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 31 + size) & 0xFF);
        fw::File::createTruncated(work->prefix() + name).write(fw::asBytes(content));
        images[name] = content;
    }
    // Packs the images, a TFTP-mode message after the first, and an unattended "put" for 192.168.1.1.
    std::string pack(const std::string& timeout = "0")
    {
        std::string manifest =
            "[settings]\nmethod = put\naddress = 192.168.1.1\ntimeout = " + timeout + "\n\n";
        bool first = true;
        for (const auto& [name, content] : images) {
            manifest += "[image]\nfile = " + name + "\nmethods = tftp\n\n";
            if (first)
                manifest += "[message]\nfile = note.txt\nshown = tftp\ncaption = Note\nlive-time = 1\n\n";
            first = false;
        }
        fw::File::createTruncated(work->prefix() + "note.txt").write(fw::asBytes("Keep the power on."));
        fw::File::createTruncated(work->prefix() + "bundle.manifest").write(fw::asBytes(manifest));
        const std::string program = work->prefix() + "fwupgrade-recover";
        const Outcome o = packShipped(program, work->prefix() + "bundle.manifest");
        EXPECT_EQ(o.status, 0) << o.err;
        return program;
    }
    Outcome recover(const std::string& program, const std::string& loaderOptions)
    {
        RunSpec spec;
        spec.argv = {sourcePath("tests/lan/testlan.sh"),
                     "--router-addr",
                     "192.168.1.1",
                     "--router",
                     binary("routersim") +
                         " --device addr=192.168.1.1,module=VN100,answers=crash,tftp=on --store " + store +
                         " --reboot-ms 500 " + loaderOptions,
                     "--",
                     "env",
                     "TMPDIR=" + tmp,
                     "FWUPGRADE_CONSOLE=1",
                     program};
        spec.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"LANG", "C.UTF-8"}};
        spec.limit = std::chrono::seconds{90};
        return runCommand(spec);
    }
    void TearDown() override { EXPECT_TRUE(fw::directoryEntries(tmp).empty()); }
};

TEST_F(LanRecovery, StoresEveryImageByteForByteAndEndsWithSuccess)
{
    image("a-empty.bin", 0);
    image("b-small.bin", 1000);
    image("c-even.bin", 1024);
    image("d-large.bin", 1048576);
    const std::string program = pack();
    const Outcome o = recover(program, "");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 0) << o.err;
    for (const auto& [name, content] : images) {
        const auto stored = fw::File::openRead(store + "/" + name + ".tmp").readAll();
        ASSERT_TRUE(stored) << name;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(stored->data()), stored->size()), content)
            << name;
    }
    EXPECT_THAT(o.out, HasSubstr("\n Recover Success\n"));
    EXPECT_THAT(o.out, HasSubstr("Total upgrade file count in TFTP mode: 4\n"));
    EXPECT_THAT(o.out, HasSubstr("TFTP upgrade section :\n"));
    EXPECT_THAT(o.err, HasSubstr("[message] Note: Keep the power on.\n"));
    EXPECT_THAT(o.err, HasSubstr("[status] Success Upgrade and Wait to Reboot\n"));
    EXPECT_THAT(o.err, HasSubstr("[status] Rebooting Router...\n[status] Recover success\n"));
    EXPECT_THAT(o.err, Not(HasSubstr("protocol error")));
}

TEST_F(LanRecovery, ADeviceAnsweringFromATransferPortIsRecoveredToo)
{
    image("a.bin", 70000);
    const Outcome o = recover(pack(), "--ack-from transfer");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 0) << o.err;
    const auto stored = fw::File::openRead(store + "/a.bin.tmp").readAll();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->size(), 70000u);
    EXPECT_THAT(o.err, Not(HasSubstr("protocol error")));
}

TEST_F(LanRecovery, ADeviceRefusingTheSecondImageEndsAsFailed)
{
    image("a.bin", 3000);
    image("b.bin", 3000);
    const Outcome o = recover(pack(), "--refuse-write 2");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_THAT(o.out, HasSubstr("Recover process not be accept for router.\n"));
    EXPECT_THAT(o.err, HasSubstr("[box] Upgrade Failure: Upgrade Not Success, Please Run Again !\n"));
}

TEST_F(LanRecovery, ADeviceThatFallsSilentIsEndedByTheWatchdog)
{
    image("a.bin", 20000);
    const Outcome o = recover(pack("3"), "--stop-after-block 3");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_THAT(o.out, HasSubstr("StopCounter : 1\nStopCounter : 2\n"));
    EXPECT_THAT(
        o.err,
        HasSubstr("[box] TFTP Upgrade Failure: Recover Not Complete. Please Power OFF and Power ON the "
                  "router then execution program again !!\n"));
}

} // namespace
} // namespace e2e
