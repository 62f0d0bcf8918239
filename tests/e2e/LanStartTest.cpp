// A shipped program started on the test LAN: its settings preset a device, which the start finds
// and selects.
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

TEST(LanStart, ASetManifestStartsWithItsDeviceSelected)
{
    auto work = fw::TempDir::create("fwe2e-lan-");
    ASSERT_TRUE(work);
    const std::string tmp = work->prefix() + "tmp";
    ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
    fw::File::createTruncated(work->prefix() + "main.bin").write(fw::asBytes("firmware"));
    fw::File::createTruncated(work->prefix() + "bundle.manifest")
        .write(fw::asBytes("[settings]\nmethod = set\naddress = 192.168.0.1\npassword = secret\n\n"
                           "[image]\nfile = main.bin\n"));
    const std::string program = work->prefix() + "fwupgrade-set";
    const Outcome packed = packShipped(program, work->prefix() + "bundle.manifest");
    SKIP_UNLESS_ISOLATED(packed);
    ASSERT_EQ(packed.status, 0) << packed.err;

    RunSpec start;
    start.argv = {sourcePath("tests/lan/testlan.sh"),
                  "--router-addr",
                  "192.168.0.1",
                  "--router",
                  binary("routersim") + " --device addr=192.168.0.1,module=XY,detail=1.0,answers=normal",
                  "--",
                  "env",
                  "TMPDIR=" + tmp,
                  "FWUPGRADE_CONSOLE=1",
                  program};
    start.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"LANG", "C.UTF-8"}};
    const Outcome o = runCommand(start);
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_THAT(o.out, HasSubstr("Set DstIP = 192.168.0.1\nSet PassWd = secret\nSet ROMID = \n"));
    EXPECT_THAT(o.out, HasSubstr("Total section list : \n"));
    // Found by the settings' probe and selected without a search; the given password stays.
    EXPECT_THAT(o.err, HasSubstr("[status] 1 device found\n"));
    EXPECT_THAT(o.err, HasSubstr("[status] Press Upgrade Button To Upgrade Router\n[needs a person]\n"));
    EXPECT_THAT(o.err, ::testing::Not(HasSubstr("Please Wait for Searching Router")));
    EXPECT_TRUE(fw::directoryEntries(tmp).empty());
}

} // namespace
} // namespace e2e
