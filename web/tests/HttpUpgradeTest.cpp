// The HTTP upgrade against a scripted device on loopback: the request bytes, the walk's choices,
// the device's verdict in every row of its table, and the failures on the way.
#include "bundle/BundleFormat.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "web/Httptool.h"
#include "web/tests/FakeDevice.h"
#include "web/tests/WindowRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using webtest::Answer;
using webtest::FakeDevice;
using webtest::reply;
using webtest::WindowRecorder;

constexpr std::uint16_t kHttpImage =
    Attribute::Upgrade_File | Attribute::Normal_Check | Attribute::Default_Check | 0x0010; // section 1
constexpr std::uint16_t kTftpOnly =
    Attribute::Upgrade_File | Attribute::TFTP_Check | Attribute::Default_Check;
constexpr std::uint16_t kMessage = Attribute::Message_File | Attribute::Default_Check;

const std::string kPartHeader = "-----------------123456789\r\n"
                                "Content-Disposition: from-data; name=\"FN\"; filename=\"upgrade.bin\" \r\n"
                                "Content-Type: application/octet-stream \r\n"
                                "\r\n";

std::string requestHeader(long contentLength)
{
    return "POST /upg HTTP/1.0\r\nUser-Agent: Tesmora_Agent\r\nConnection: Keep-Alive\r\n"
           "Content-Type: multipart/form-data: boundary=-----------------123456789\r\n"
           "Content-Length: " +
           std::to_string(contentLength) + "\r\n\r\n" + kPartHeader;
}

class HttpUpgrade : public ::testing::Test {
protected:
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-http-");
    EmbedFileRows list;
    WindowRecorder window;
    std::atomic<std::uint16_t> stopCounter{7};
    std::vector<int> shownModes;
    SendHTTP http;

    void SetUp() override
    {
        list.add(dir->prefix() + "fwupgrade.tmp", 0, 0);
        http.setMessageShow([this](std::uint16_t, std::span<const std::byte>, int mode, const std::string&,
                                   const std::string&) { shownModes.push_back(mode); });
    }
    std::string file(const std::string& name, std::uint16_t attribute, std::size_t size)
    {
        std::string content(size, '\0');
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>((i * 13 + size) & 0xFF);
        fw::File::createFresh(dir->prefix() + name).write(fw::asBytes(content));
        list.add(dir->prefix() + name, attribute, 1);
        return content;
    }
    int run(FakeDevice& device, const std::string& module = "XY")
    {
        const int result = http.HttpUpgrade(stopCounter, window, list, "127.0.0.1", device.port(), module);
        device.waitDone();
        return result;
    }
};

TEST_F(HttpUpgrade, SendsAllImagesInOnePartWithTheEndMarkerAfterTheLast)
{
    const std::string first = file("first.bin.tmp", kHttpImage, 1000);
    file("note", kMessage, 20);
    const std::string second = file("second.bin.tmp", kHttpImage | 0x0030, 2000);
    file("tftp.bin.tmp", kTftpOnly, 500);
    FakeDevice device{{reply("HTTP/1.1 200 OK\r\n\r\n<!--CAS:8000-->")}};

    EXPECT_EQ(run(device), 1);
    ASSERT_EQ(device.requests().size(), 1u);
    EXPECT_EQ(device.requests()[0], requestHeader(3147) + first + second + "\r\n----\r\n");
    EXPECT_EQ(http.resultText, "Upgrade Successfully");
    EXPECT_EQ(http.uploadCount, 2);
    EXPECT_EQ(http.sectionLetters, "AC");
    EXPECT_EQ(stopCounter, 0);
    EXPECT_THAT(shownModes, ElementsAre(kFtpMode));
    EXPECT_EQ(window.max, 3000);
    EXPECT_EQ(window.pos, static_cast<int>(requestHeader(3147).size()) + 3008);
    std::vector<std::string> sends;
    for (const std::string& line : window.log)
        if (line == "Send end char" || line.starts_with("Send Bin File Length : ")) sends.push_back(line);
    EXPECT_THAT(sends,
                ElementsAre("Send Bin File Length : 1000", "Send end char", "Send Bin File Length : 2008"));
    EXPECT_TRUE(window.logged("Total upgrade file count in HTTP mode: 2"));
    EXPECT_THAT(window.statuses,
                ElementsAre("Connecting to router", "Upgrading! Do NOT exit or power off the device.",
                            "Upgrade Success"));
}

TEST_F(HttpUpgrade, AModuleImageTakesThePlaceOfTheDefaultAfterIt)
{
    const std::string own = file(
        "XY-fw.bin.tmp", Attribute::Upgrade_File | Attribute::Normal_Check | Attribute::RomID_Check, 100);
    file("default.bin.tmp", kHttpImage | Attribute::RomID_Check, 300);
    FakeDevice device{{reply("HTTP/1.1 200 OK\r\n\r\n")}};
    EXPECT_EQ(run(device), 1);
    EXPECT_EQ(device.requests()[0], requestHeader(247) + own + "\r\n----\r\n");
    EXPECT_EQ(std::count(window.log.begin(), window.log.end(),
                         "Default Upgrade File Ignore >>" + dir->prefix() + "default.bin.tmp"),
              1);
    EXPECT_TRUE(window.logged("Upgrade Complete in with no CAS tag"));
}

TEST_F(HttpUpgrade, NothingToSendFailsAfterTheHeaderAlone)
{
    file("tftp.bin.tmp", kTftpOnly, 500);
    FakeDevice device{{reply("HTTP/1.1 200 OK\r\n\r\n")}};
    EXPECT_EQ(run(device), -1);
    EXPECT_EQ(http.resultText, "HTTP upgrade Failure !");
    EXPECT_EQ(device.requests()[0], requestHeader(147));
}

TEST_F(HttpUpgrade, VerdictOfEachReply)
{
    struct Row {
        std::string reply;
        int result;
        const char* logLine;
        const char* resultText;
        const char* status; // "": the upgrading text stays
        const char* box = "";
    };
    const std::string ok = "HTTP/1.1 200 OK\r\n\r\n";
    const Row rows[] = {
        {"HTTP/1.1 500 Oops\r\n\r\n--CAS:8000", 1, "Upgrade success in New version", "Upgrade Successfully",
         "Upgrade Success"},
        {ok + "--CAS:8001", -1, "Upgrade failure in New version", "Upgrade failure", "Upgrade failure"},
        {ok + "--CAS:8002", -1, "Unallowable upgrade file", "Unallowable upgrade file",
         "Unallowable upgrade file"},
        {ok + "--CAS:1234", -1, "unknow error code : 1234", "unknow error code 1234", "Upgrade failure"},
        {ok + "<script>alert(\"The image does not fit this device\")</script>", -1,
         "Upgrade failure with no CAS tag", "The image does not fit ", "Upgrade Failure"},
        {ok, 1, "Upgrade Complete in with no CAS tag", "Upgrade Successfully", "Upgrade Success"},
        {"HTTP/1.1 301 Moved\r\n\r\n", -1, "Unexpect remove port request", "Unexpect receive data", ""},
        {"HTTP/1.1 400 Bad\r\n\r\n", -1, "Unexpect Bad request", "Unexpect receive data", "",
         "File Error|error 00"},
        {"HTTP/1.1 404 No\r\n\r\n", -1, "Unexpect NO CGI Found", "Unexpect receive data", ""},
        {"HTTP/1.1 401 No\r\n\r\n", -1, "Peer ask for authenticate 2", "Unexpect receive data", ""},
        {"HTTP/1.1 501 No\r\n\r\n", -1, "Unexpect NOT support HTTP Upgrade", "Unexpect receive data", ""},
        {"HTTP/1.1 503 No\r\n\r\n", -1, "Unexpect upgrade Not Complete error", "Unexpect receive data", ""},
        {"HTTP/1.1 302 Found\r\n\r\n", -1, "Unknow Error in check upgrade result", "Unexpect receive data",
         ""},
        {ok + std::string(1463 - ok.size(), 'x'), 1, "Upgrade Complete in with no CAS tag",
         "Upgrade Successfully", "Upgrade Success"},
        {ok + std::string(1464 - ok.size(), 'x'), -1, "receive response error 8",
         "receive response error in upgrade 9", "Upgrade Failure"},
    };
    file("one.bin.tmp", kHttpImage, 10);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reply.substr(0, 40));
        SendHTTP one;
        WindowRecorder w;
        FakeDevice device{{reply(row.reply)}};
        EXPECT_EQ(one.HttpUpgrade(stopCounter, w, list, "127.0.0.1", device.port(), "XY"), row.result);
        EXPECT_TRUE(w.logged(row.logLine)) << ::testing::PrintToString(w.log);
        EXPECT_EQ(one.resultText, row.resultText);
        EXPECT_EQ(w.statuses.back(),
                  *row.status ? row.status : "Upgrading! Do NOT exit or power off the device.");
        EXPECT_EQ(w.boxes.empty() ? "" : w.boxes[0], row.box);
    }
}

TEST_F(HttpUpgrade, FailuresBeforeAndDuringTheUpload)
{
    file("one.bin.tmp", kHttpImage, 10);
    std::uint16_t closed = 0;
    {
        FakeDevice gone{{}};
        closed = gone.port();
    }
    EXPECT_EQ(http.HttpUpgrade(stopCounter, window, list, "127.0.0.1", closed, "XY"), -1);
    EXPECT_EQ(http.resultText,
              "Failed to connect socket to IP : 127.0.0.1 and port : " + std::to_string(closed));
    EXPECT_THAT(window.statuses, ElementsAre("Connect to router failure"));

    SendHTTP missing;
    WindowRecorder w;
    list.add(dir->prefix() + "gone.bin.tmp", kHttpImage, 1);
    FakeDevice device{{reply("HTTP/1.1 200 OK\r\n\r\n")}};
    EXPECT_EQ(missing.HttpUpgrade(stopCounter, w, list, "127.0.0.1", device.port(), "XY"), -1);
    EXPECT_EQ(missing.resultText, "File Seek error : " + dir->prefix() + "gone.bin.tmp");
    EXPECT_TRUE(w.logged(missing.resultText));
}

TEST_F(HttpUpgrade, AStopRequestEndsAStalledUpload)
{
    file("big.bin.tmp", kHttpImage, 32 << 20);
    FakeDevice device{{Answer{{"HTTP/1.1 200 OK\r\n\r\n"}, Answer::End::Close, 4096}}};
    fw::StopFlag stop{false};
    http.setStopFlag(&stop);
    std::thread stopper{[&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        stop = true;
    }};
    EXPECT_EQ(http.HttpUpgrade(stopCounter, window, list, "127.0.0.1", device.port(), "XY"), -1);
    stopper.join();
    EXPECT_THAT(http.resultText, HasSubstr("10004 Interrupted system call."));
    EXPECT_TRUE(window.logged("Error :" + http.resultText));
}

} // namespace
