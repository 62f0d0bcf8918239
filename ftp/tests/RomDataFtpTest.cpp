// The device data download over FTP against a scripted server: the data saved, each refusal's result,
// and an earlier file kept when the download fails.
#include "ftp/Ftpunit.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "platform/testing/FakeFtpClient.h"
#include "platform/testing/ScriptedWindow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using ::testing::Contains;

std::string contentOf(const std::string& path)
{
    const auto bytes = fw::File::openRead(path).readAll();
    return bytes ? std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()) : "<none>";
}

TEST(RomDataFtp, EachOutcomeAndWhatIsLeftOnDisk)
{
    struct Row {
        const char* name;
        std::function<void(fw::FakeFtpClient&)> arrange;
        int result;
        std::string resultText;
        std::string logLine;
        std::string saved; // what the target holds afterwards
    };
    const Row rows[] = {
        {"saved", [](fw::FakeFtpClient&) {}, 1, "", "Data=256#16", "sixteen bytes..!"},
        {"password", [](fw::FakeFtpClient& s) { s.acceptedPassword = "other"; }, -2,
         "Incorrect password. Please check and input again!", "Get Rom File Password Error", "earlier"},
        {"name refused", [](fw::FakeFtpClient& s) { s.refusedNames.insert("256#16"); }, -1,
         "Get Rom File Error", "Get Rom File Error", "earlier"},
        {"nothing listens", [](fw::FakeFtpClient& s) { s.reachable = false; }, -1,
         "Unknow exception with NO Connect ", "Unknow error3 in FTP mode.(NO Connect)", "earlier"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-romftp-");
        const std::string target = dir->prefix() + "out.bin";
        fw::File::createTruncated(target).write(fw::asBytes("earlier"));
        fw::FakeFtpClient server;
        server.acceptedPassword = "secret";
        server.remoteFiles["256#16"] = "sixteen bytes..!";
        row.arrange(server);
        TmyFTPForm form{server, nullptr};
        fw::ScriptedWindow window;
        EXPECT_EQ(form.GetRomDataByFtp(window, "192.168.0.1", "secret", "256#16", target), row.result);
        if (!row.resultText.empty()) {
            EXPECT_EQ(form.resultText, row.resultText);
        }
        EXPECT_THAT(window.log, Contains(row.logLine));
        EXPECT_EQ(contentOf(target), row.saved);
        EXPECT_EQ(fw::fileExists(target + ".BAK"), row.result == 1);
        EXPECT_EQ(fw::directoryEntries(dir->path()).size(), row.result == 1 ? 2u : 1u);
        EXPECT_EQ(server.UserID, "root");
    }
}

} // namespace
