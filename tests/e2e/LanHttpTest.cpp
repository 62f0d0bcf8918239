// Unattended HTTP upgrades of a normal simulated router on the test LAN, with the built fwupgrade on
// the console front end: the password check, the upload the device stores, and the ways it fails.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "tests/e2e/LanCase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <vector>

namespace e2e {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class LanHttp : public LanCase {
protected:
    LanHttp() : LanCase{"fwe2e-http-"} {}
    std::string joined; // the images in bundle order, back to back

    // Packs images of these sizes (sections A, B, ...) and an unattended "put" for 192.168.1.1.
    std::string pack(const std::vector<std::size_t>& sizes, const std::string& password = "secret",
                     const std::string& timeout = "0")
    {
        std::string manifest = "[settings]\nmethod = put\naddress = 192.168.1.1\npassword = " + password +
                               "\ntimeout = " + timeout + "\n\n";
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            std::string content(sizes[i], '\0');
            for (std::size_t k = 0; k < sizes[i]; ++k)
                content[k] = static_cast<char>((k * 29 + i * 7) & 0xFF);
            const std::string name = "image" + std::to_string(i) + ".bin";
            writeWorkFile(name, content);
            joined += content;
            manifest += "[image]\nfile = " + name +
                        "\nmethods = http ftp\nsection = " + std::to_string(i + 1) + "\n\n";
        }
        return packManifest(manifest, "fwupgrade-http");
    }
    Outcome upgrade(const std::string& program, const std::string& webOptions, int seconds = 60)
    {
        return onLan(
            "--device addr=192.168.1.1,module=VN100,answers=normal,web=on --password secret --store " +
                store + " " + webOptions,
            {program}, std::chrono::seconds{seconds});
    }
    std::string stored(int n) const { return contentOf(store + "/upload-" + std::to_string(n) + ".bin"); }
};

TEST_F(LanHttp, TwoImagesAreStoredBackToBackAndTheRunSucceeds)
{
    const Outcome o = upgrade(pack({1000, 2000}), "");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(stored(1), joined);
    EXPECT_THAT(o.out, HasSubstr("Login password correct in New version\n"));
    EXPECT_THAT(o.out, HasSubstr("Total upgrade file count in HTTP mode: 2\n"));
    EXPECT_THAT(o.out, HasSubstr("Upgrade success in New version\n"));
    EXPECT_THAT(o.out, HasSubstr("HTTP upgrade section :AB\n"));
    // The device checks the Content-Length of 3,147 against the body it received.
    EXPECT_THAT(o.err, HasSubstr("stored 3000 bytes"));
    EXPECT_THAT(o.err, Not(HasSubstr("protocol error")));
}

TEST_F(LanHttp, OutcomesOfTheDeviceAndItsPassword)
{
    struct Row {
        const char* name;
        std::string password;
        std::string webOptions;
        int status;
        const char* out; // a log line
        const char* err; // a box or status line
        bool stored;
    };
    const Row rows[] = {
        {"wrong password", "wrong", "", 1, "Login password error in New version\n",
         "[box] Authentication Failed: Incorrect password. Please check and input again!\n", false},
        {"basic authorization", "secret", "--web-kind basic --user admin", 0,
         "Peer ask for win-authentication\n", "[status] Upgrade Success\n", true},
        {"redirect to 8080", "secret", "--redirect 8080", 0, "Resend login pkt in port : 8080\n",
         "[status] Upgrade Success\n", true},
        {"verdict 8002", "secret", "--verdict 8002", 1, "Unallowable upgrade file\n",
         "[box] Failure: Unallowable upgrade file\n", true},
        {"endless redirects", "secret", "--redirect-forever", 1,
         "The device redirected the login more than 8 times", "[box] Port command error\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Outcome o = upgrade(pack({700}, row.password), row.webOptions);
        SKIP_UNLESS_ISOLATED(o);
        EXPECT_EQ(o.status, row.status) << o.err;
        EXPECT_THAT(o.out, HasSubstr(row.out)) << o.out;
        EXPECT_THAT(o.err, HasSubstr(row.err));
        EXPECT_EQ(stored(1) == joined, row.stored);
        joined.clear();
        for (const std::string& name : fw::directoryEntries(store)) fw::removeFile(store + "/" + name);
    }
}

TEST_F(LanHttp, AStalledUploadIsEndedByTheWatchdog)
{
    const Outcome o = upgrade(pack({8 << 20}, "secret", "3"), "--stall-upload-after 4096");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_THAT(o.out, HasSubstr("StopCounter : 1\nStopCounter : 2\n"));
    EXPECT_THAT(o.err,
                HasSubstr("[box] HTTP Upgrade Failure: Upgrade Abnormal Terminate and Please ReRun the "
                          "program to ReUpgrade\n"));
}

TEST_F(LanHttp, ADeviceThatKeepsTheLoginOpenFailsAfterTheBound)
{
    const Outcome o = upgrade(pack({700}), "--keep-open login", 90);
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_THAT(o.out, HasSubstr("receive response error 0 in send login PKT\n"
                                 "No data from the device for 30 seconds: 10060 Connection timed out.\n"));
    EXPECT_THAT(o.err, HasSubstr("[box] Receive response error 4\n"));
}

} // namespace
} // namespace e2e
