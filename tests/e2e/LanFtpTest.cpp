// Unattended FTP upgrades on the test LAN, with the built fwupgrade on the console front end and
// routersim's device running a real FTP server: stored files, refusals, the 429 reply, the fall-back
// to HTTP, an older device and a stalled upload.
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

class LanFtp : public LanCase {
protected:
    LanFtp() : LanCase{"fwe2e-ftp-"} {}
    std::vector<std::string> contents;

    // Packs images of these sizes (sections A, B, ...) and an unattended "put" for 192.168.1.1.
    std::string pack(const std::vector<std::size_t>& sizes, const std::string& timeout = "0")
    {
        std::string manifest =
            "[settings]\nmethod = put\naddress = 192.168.1.1\npassword = secret\ntimeout = " + timeout +
            "\n\n";
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            std::string content(sizes[i], '\0');
            for (std::size_t k = 0; k < sizes[i]; ++k)
                content[k] = static_cast<char>((k * 37 + i * 5) & 0xFF);
            const std::string name = "image" + std::to_string(i) + ".bin";
            writeWorkFile(name, content);
            contents.push_back(content);
            manifest += "[image]\nfile = " + name +
                        "\nmethods = http ftp\nsection = " + std::to_string(i + 1) + "\n\n";
        }
        return packManifest(manifest, "fwupgrade-ftp");
    }
    Outcome upgrade(const std::string& program, const std::string& device, const std::string& options)
    {
        return onLan("--device addr=192.168.1.1,module=VN100," + device + " --password secret --store " +
                         store + " " + options,
                     {program});
    }
    std::string stored(const std::string& name) const { return contentOf(store + "/" + name); }
};

// A device that answers only the echo is of unknown kind: its method is FTP.
constexpr const char* kUnknownKind = "answers=none,ftp=on,web=on";

TEST_F(LanFtp, ADeviceOfUnknownKindStoresEveryImageUnderItsName)
{
    const Outcome o = upgrade(pack({1000, 70000}), kUnknownKind, "");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(stored("image0.bin"), contents[0]);
    EXPECT_EQ(stored("image1.bin"), contents[1]);
    EXPECT_THAT(o.out, HasSubstr("Total upgrade file count in FTP mode: 2\n"));
    EXPECT_THAT(o.out, HasSubstr("Unsing FTP upgrade to : 192.168.1.1 success\n"));
    EXPECT_THAT(o.out, HasSubstr("FTP upgrade section :AB\n"));
    EXPECT_THAT(o.err, Not(HasSubstr("POST /upg")));
}

TEST_F(LanFtp, RefusalsEndWithTheBoxAndFailuresGoOnWithHttp)
{
    struct Row {
        const char* name;
        std::string device, options;
        int status;
        std::vector<std::string> out; // log lines in this order
        std::string err;
        bool overHttp;
    };
    const Row rows[] = {
        {"login refused",
         kUnknownKind,
         "--ftp-refuse-login",
         1,
         {"Password Error\n"},
         "[box] Authentication Failed: Incorrect password. Please check and input again!\n",
         false},
        {"file refused",
         kUnknownKind,
         "--ftp-refuse-name image0.bin",
         1,
         {"Upgrade File Error\n"},
         "[box] Authentication Failed: Upgrade File Error\n",
         false},
        {"429 reply",
         kUnknownKind,
         "--ftp-429 image0.bin",
         0,
         {"Upgrade file error\n", "Unsing FTP upgrade mode fail : 192.168.1.1\n",
          "Incorrect upgrade file. Please check again!\n", "Unsing HTTP upgrade mode to : 192.168.1.1\n"},
         "[status] Upgrade Success\n",
         true},
        {"no FTP service",
         "answers=none,web=on",
         "",
         0,
         {"Unsing FTP upgrade mode fail : 192.168.1.1\n", "Unsing HTTP upgrade mode to : 192.168.1.1\n"},
         "[status] Upgrade Success\n",
         true},
        {"older device",
         "answers=normal,ftp=on,web=on",
         "--web-kind old",
         0,
         {"Old version detect\n", "Unsing FTP upgrade mode to : 192.168.1.1\n",
          "Unsing FTP upgrade to : 192.168.1.1 success\n"},
         "[status] Upgrade Successfully\n",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        contents.clear();
        const Outcome o = upgrade(pack({3000}), row.device, row.options);
        SKIP_UNLESS_ISOLATED(o);
        EXPECT_EQ(o.status, row.status) << o.err;
        std::size_t at = 0;
        for (const std::string& line : row.out) {
            const std::size_t found = o.out.find(line, at);
            EXPECT_NE(found, std::string::npos) << line << "\n" << o.out;
            if (found != std::string::npos) at = found;
        }
        EXPECT_THAT(o.err, HasSubstr(row.err));
        EXPECT_EQ(o.err.find("POST /upg") != std::string::npos, row.overHttp);
        for (const std::string& name : fw::directoryEntries(store)) fw::removeFile(store + "/" + name);
    }
}

TEST_F(LanFtp, AStalledUploadIsEndedByTheWatchdog)
{
    const Outcome o = upgrade(pack({4 << 20}, "3"), kUnknownKind, "--ftp-stall-after 65536");
    SKIP_UNLESS_ISOLATED(o);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_THAT(o.out, HasSubstr("StopCounter : 1\nStopCounter : 2\n"));
    EXPECT_THAT(o.err, HasSubstr("[box] FTP Upgrade Failure: Upgrade Abnormal Terminate and Please ReRun the "
                                 "program to ReUpgrade\n"));
    EXPECT_THAT(o.err, Not(HasSubstr("POST /upg")));
}

} // namespace
} // namespace e2e
