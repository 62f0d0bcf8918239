// The device data download over HTTP against scripted devices: the request bytes, the body saved
// whole, an earlier file kept as ".BAK", and nothing lost when the body is cut short.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "web/Httptool.h"
#include "web/tests/FakeDevice.h"
#include "web/tests/WindowRecorder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using webtest::Answer;
using webtest::FakeDevice;
using webtest::reply;
using webtest::WindowRecorder;

std::string contentOf(const std::string& path)
{
    const auto bytes = fw::File::openRead(path).readAll();
    return bytes ? std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()) : "<none>";
}

class RomData : public ::testing::Test {
protected:
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-rom-");
    std::string target = dir->prefix() + "out.bin";
    WindowRecorder window;

    int get(FakeDevice& device, const std::string& offset = "256", const std::string& length = "16")
    {
        SendHTTP http;
        const int rc = http.GetRomData(window, "127.0.0.1", device.port(), target, 16, offset, length);
        resultText = http.resultText;
        device.waitDone();
        return rc;
    }
    std::string resultText;
};

TEST_F(RomData, TheRequestCarriesTheTextsAsTheyStand)
{
    EXPECT_EQ(SendHTTP::romDataRequest("1000", "4096"), "GET /config.bin?O=1000&L=4096 HTTP/1.1\r\n\r\n");
    EXPECT_EQ(SendHTTP::romDataRequest("100", "ab&c"), "GET /config.bin?O=100&L=ab&c HTTP/1.1\r\n\r\n");
}

TEST_F(RomData, ASecondDownloadKeepsTheFirstAsBak)
{
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n";
    FakeDevice first{{reply(header + "ONE!")}};
    EXPECT_EQ(get(first), 1);
    EXPECT_EQ(first.requests()[0], "GET /config.bin?O=256&L=16 HTTP/1.1\r\n\r\n");
    FakeDevice second{{Answer{{header + "TW", "O!"}}}};
    EXPECT_EQ(get(second), 1);
    EXPECT_EQ(contentOf(target), "TWO!");
    EXPECT_EQ(contentOf(target + ".BAK"), "ONE!");
    EXPECT_EQ(resultText, "Get ROM file success");
    EXPECT_TRUE(window.logged("Get ROM file success in file : " + target));
    EXPECT_EQ(fw::directoryEntries(dir->path()).size(), 2u); // no temporary file left
}

TEST_F(RomData, AFailedOrCutDownloadLeavesTheEarlierFileAsItWas)
{
    struct Row {
        const char* name;
        std::string reply;
    };
    const Row rows[] = {
        {"cut short", "HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\nonly eight"},
        {"bad request", "HTTP/1.1 400 Bad Request\r\n\r\n"},
        {"not found", "HTTP/1.1 404 Not Found\r\n\r\n"},
        {"nothing", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        fw::File::createTruncated(target).write(fw::asBytes("earlier"));
        FakeDevice device{{reply(row.reply)}};
        EXPECT_EQ(get(device), -1);
        EXPECT_EQ(contentOf(target), "earlier");
        EXPECT_EQ(fw::directoryEntries(dir->path()), std::vector<std::string>{"out.bin"});
    }
}

TEST_F(RomData, TextsTooLongForTheRequestAreRefusedBeforeAnythingIsSent)
{
    FakeDevice device{{}};
    EXPECT_EQ(get(device, std::string(20, '1'), std::string(10, '2')), -1);
    EXPECT_THAT(resultText, ::testing::HasSubstr("more than 29 characters"));
    EXPECT_TRUE(device.requests().empty());
}

} // namespace
