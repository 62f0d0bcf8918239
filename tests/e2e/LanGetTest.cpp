// "get" runs of the built fwupgrade on the test LAN: a stretch of the simulated device's data over
// FTP, over HTTP when the device has no FTP, and nothing lost when a download fails.
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

// The bytes of routersim's built-in data image from offset on.
std::string imageBytes(std::size_t offset, std::size_t length)
{
    std::string out(length, '\0');
    for (std::size_t i = 0; i < length; ++i) out[i] = static_cast<char>(((offset + i) * 7 + 3) & 0xFF);
    return out;
}

class LanGet : public LanCase {
protected:
    LanGet() : LanCase{"fwget-"} {} // short: the name field holds 31 characters
    std::string target = work->prefix() + "out.bin";

    Outcome get(const std::string& device, const std::string& options, const std::string& offset,
                const std::string& length)
    {
        return onLan("--device addr=192.168.1.1,module=VN100,answers=normal," + device +
                         " --password secret --store " + store + " " + options,
                     {binary("fwupgrade"), "get", "192.168.1.1", "secret", "null", offset, length, target},
                     std::chrono::seconds{60});
    }
    std::string saved(const std::string& path) const { return contentOf(path); }
};

TEST_F(LanGet, FtpFetchesTheStretchAndTheProgramEnds)
{
    const Outcome o = get("ftp=on,web=on", "", "0x100", "16");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(saved(target), imageBytes(256, 16));
    EXPECT_THAT(o.out, HasSubstr("Try FTP Get Method first...\n"));
    EXPECT_THAT(o.out, HasSubstr("Data=256#16\n"));
    EXPECT_THAT(o.out, HasSubstr("Get ROM data success\n"));
}

TEST_F(LanGet, WithoutFtpTheDataComesOverHttp)
{
    const Outcome o = get("web=on", "", "256", "16");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(saved(target), imageBytes(256, 16));
    EXPECT_THAT(o.out, HasSubstr("Try to use HTTP Get method.\n"));
    EXPECT_THAT(o.out, HasSubstr("GET /config.bin?O=256&L=16 HTTP/1.1\r\n\r\n"));
    EXPECT_THAT(o.out, HasSubstr("Get ROM file success in file : " + target + "\n"));
}

TEST_F(LanGet, ACutDownloadLeavesTheEarlierFileAndASecondKeepsTheFirstAsBak)
{
    fw::File::createTruncated(target).write(fw::asBytes("the earlier data"));
    const Outcome cut = get("web=on", "--config-fault cut", "256", "64");
    SKIP_UNLESS_ISOLATED(cut);
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_EQ(saved(target), "the earlier data");
    EXPECT_EQ(fw::directoryEntries(work->path()), (std::vector<std::string>{"out.bin", "store", "tmp"}));
    EXPECT_THAT(cut.err, HasSubstr("[box] Failure: HTTP Get ROM Error\n"));

    const Outcome second = get("ftp=on,web=on", "", "4096", "256");
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(saved(target), imageBytes(4096, 256));
    EXPECT_EQ(saved(target + ".BAK"), "the earlier data");
}

TEST_F(LanGet, AWrongFtpPasswordShowsBothBoxes)
{
    const Outcome o = get("ftp=on,web=on", "--ftp-refuse-login", "256", "16");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_THAT(o.err, HasSubstr("[box] Failure: Password error. Please check again.\n"));
    EXPECT_THAT(o.err, HasSubstr("[box] (FTP) pass Error: Pass: secret\n"));
    EXPECT_FALSE(fw::fileExists(target));
}

} // namespace
} // namespace e2e
