// The FTP upgrade against a scripted FTP server in memory: the names files are stored under, the
// walk's choices, progress, and every way a run fails, each closing the connection it opened.
#include "bundle/BundleFormat.h"
#include "ftp/Ftpunit.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "platform/testing/FakeFtpClient.h"
#include "platform/testing/ScriptedWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using fw::FakeFtpClient;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint16_t kImage = Attribute::Upgrade_File | Attribute::Normal_Check | Attribute::Default_Check;
constexpr std::uint16_t kTftpOnly =
    Attribute::Upgrade_File | Attribute::TFTP_Check | Attribute::Default_Check;
constexpr std::uint16_t kMessage = Attribute::Message_File | Attribute::Default_Check;

// A window, a file list and a scripted server around one FTP holder.
struct Station {
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-ftp-");
    EmbedFileRows list;
    fw::ScriptedWindow window;
    FakeFtpClient server;
    std::vector<int> shownModes;
    TmyFTPForm form{server, [this](std::uint16_t, std::span<const std::byte>, int mode, const std::string&,
                                   const std::string&) { shownModes.push_back(mode); }};
    std::atomic<std::uint16_t> stopCounter{9};

    Station()
    {
        server.acceptedPassword = "secret";
        list.add(dir->prefix() + "fwupgrade.tmp", 0, 0);
    }
    std::string file(const std::string& name, std::uint16_t attribute, std::size_t size)
    {
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 11 + size) & 0xFF);
        fw::File::createFresh(dir->prefix() + name).write(fw::asBytes(content));
        list.add(dir->prefix() + name, attribute, 1);
        return content;
    }
    int run(const std::string& password = "secret")
    {
        return form.RunFtpUpgrade(stopCounter, window, list, "192.168.0.1", "XY", password);
    }
    bool closedIfOpened() const
    {
        bool opened = false;
        for (const auto& op : server.operations) opened = opened || op.op == FakeFtpClient::Op::Connect;
        return !opened || server.operations.back().op == FakeFtpClient::Op::Disconnect;
    }
};

class FtpUpgrade : public ::testing::Test, public Station {};

TEST_F(FtpUpgrade, StoresEveryFtpImageUnderItsBundleName)
{
    const std::string kernel = file("kernel.bin.tmp", kImage | 0x0010, 3000);
    file("note", kMessage, 10);
    const std::string boot = file("boot.TMP", kImage | 0x0020, 100);
    file("loader.bin.tmp", kTftpOnly, 50);
    std::vector<std::uint16_t> counterAtUpload;
    server.onOperation = [&](const FakeFtpClient::Operation& op) {
        if (op.op == FakeFtpClient::Op::Upload) counterAtUpload.push_back(stopCounter);
        stopCounter = 5;
    };

    EXPECT_EQ(run(), 1);
    ASSERT_EQ(server.stored.size(), 2u);
    EXPECT_EQ(server.stored[0].remoteName, "kernel.bin");
    EXPECT_EQ(server.stored[0].bytes, kernel);
    EXPECT_EQ(server.stored[1].remoteName, "boot.TMP"); // only ".tmp" exactly is taken off
    EXPECT_EQ(server.stored[1].bytes, boot);
    EXPECT_EQ(server.UserID, "root");
    EXPECT_EQ(server.Port, 21);
    EXPECT_FALSE(server.Passive);
    EXPECT_EQ(server.logins, 1);
    EXPECT_THAT(counterAtUpload, ElementsAre(0, 0)); // reset before every upload
    EXPECT_EQ(form.resultText, "Upgrade Successfully !");
    EXPECT_EQ(form.uploadCount, 2);
    EXPECT_EQ(form.sectionLetters, "AB");
    EXPECT_THAT(shownModes, ElementsAre(kFtpMode));
    EXPECT_THAT(window.log, Contains("Total upgrade file count in FTP mode: 2"));
    EXPECT_EQ(window.status(), "Upgrade Successfully");
    EXPECT_EQ(window.maximum(), 3100);
    EXPECT_EQ(window.position(), 3100 / 32 + 3100);
    EXPECT_TRUE(closedIfOpened());
}

TEST(FtpUpgradeFails, EveryFailureGivesItsResultAndClosesTheConnection)
{
    struct Row {
        const char* name;
        std::function<void(Station&)> arrange;
        std::string password;
        int result;
        std::string resultText;
        std::string logLine; // empty: none to check
        std::size_t stored;
    };
    const Row rows[] = {
        {"login refused", [](Station&) {}, "wrong", -2, "Incorrect password. Please check and input again!",
         "Password Error", 0},
        {"nothing listens", [](Station& t) { t.server.reachable = false; }, "secret", -1, "", "", 0},
        {"file refused", [](Station& t) { t.server.refusedNames.insert("second.bin"); }, "secret", -4,
         "Upgrade File Error", "Upgrade File Error", 1},
        {"429 on the first file", [](Station& t) { t.server.names429.insert("first.bin"); }, "secret", -1,
         "Incorrect upgrade file. Please check again!", "Upgrade file error", 1},
        {"aborted during an upload",
         [](Station& t) {
             t.server.onOperation = [&t](const FakeFtpClient::Operation& op) {
                 if (op.op == FakeFtpClient::Op::Upload) t.form.Abort();
             };
         },
         "secret", -1, "", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Station t;
        t.file("first.bin.tmp", kImage, 500);
        t.file("second.bin.tmp", kImage, 700);
        row.arrange(t);
        EXPECT_EQ(t.run(row.password), row.result);
        if (!row.resultText.empty()) {
            EXPECT_EQ(t.form.resultText, row.resultText);
        }
        if (!row.logLine.empty()) {
            EXPECT_THAT(t.window.log, Contains(row.logLine));
        }
        EXPECT_EQ(t.server.stored.size(), row.stored);
        EXPECT_TRUE(t.closedIfOpened());
    }
}

TEST_F(FtpUpgrade, ARefusedLoginAndAnUnreachableServerAreTold)
{
    EXPECT_EQ(run("wrong"), -2);
    EXPECT_EQ(window.status(), "Incorrect password. Please check and input again!");
    server.reachable = false;
    EXPECT_EQ(run(), -1);
    EXPECT_THAT(form.resultText, ::testing::StartsWith("Unknow exception2"));
    EXPECT_THAT(window.log.back(), ::testing::StartsWith("Unknow error2 in FTP mode."));
}

TEST_F(FtpUpgrade, NothingForFtpLogsInAndFails)
{
    file("loader.bin.tmp", kTftpOnly, 50);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(form.resultText, "FTP upgrade Failure !");
    EXPECT_THAT(window.log, Contains("Get error file index in FTP mode"));
    EXPECT_EQ(server.logins, 1);
    EXPECT_TRUE(closedIfOpened());
}

TEST_F(FtpUpgrade, AnImageWhoseSizeCannotBeTakenFailsBeforeConnecting)
{
    list.add(dir->prefix() + "gone.bin.tmp", kImage, 1);
    EXPECT_EQ(run(), -1);
    EXPECT_EQ(form.resultText, "Get total upgrade fle length error");
    EXPECT_THAT(server.operations, IsEmpty());
}

TEST_F(FtpUpgrade, AnUnreadableMessageEndsTheRunWithoutStartingTheWalkAgain)
{
    file("first.bin.tmp", kImage, 500);
    list.add(dir->prefix() + "missing-note", kMessage, 1);
    file("second.bin.tmp", kImage, 700);
    EXPECT_EQ(run(), -1);
    ASSERT_EQ(server.stored.size(), 1u);
    EXPECT_EQ(server.stored[0].remoteName, "first.bin");
    EXPECT_THAT(window.log, Contains("Message file onen error : " + dir->prefix() + "missing-note"));
    EXPECT_TRUE(closedIfOpened());
}

TEST(RemoteName, IsTheLastPathPartWithoutAFinalDotTmp)
{
    EXPECT_EQ(remoteNameOf("/tmp/fwupgrade-x/main.bin.tmp"), "main.bin");
    EXPECT_EQ(remoteNameOf("/tmp/fwupgrade-x/main.bin"), "main.bin");
    EXPECT_EQ(remoteNameOf("/tmp/x/MAIN.TMP"), "MAIN.TMP");
    EXPECT_EQ(remoteNameOf("C:\\dir\\main.tmp"), "main");
    EXPECT_EQ(remoteNameOf(".tmp"), "");
}

} // namespace
