// An unattended recovery of a crashed simulated router over TFTP on the test LAN, with the built
// fwupgrade on the console front end and a bundle authored with fwbundle.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "tests/e2e/LanCase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class LanRecovery : public LanCase {
protected:
    LanRecovery() : LanCase{"fwe2e-tftp-"} {}
    std::map<std::string, std::string> images;

    void image(const std::string& name, std::size_t size)
    {
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 31 + size) & 0xFF);
        writeWorkFile(name, content);
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
        writeWorkFile("note.txt", "Keep the power on.");
        return packManifest(manifest, "fwupgrade-recover");
    }
    Outcome recover(const std::string& program, const std::string& loaderOptions)
    {
        return onLan("--device addr=192.168.1.1,module=VN100,answers=crash,tftp=on --store " + store +
                         " --reboot-ms 500 " + loaderOptions,
                     {program});
    }
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
