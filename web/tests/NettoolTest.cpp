// The TCP client against scripted devices on loopback: error texts, the reply buffer's limit, the
// end of a reply, the bound on a device that keeps the connection open, and the reply to a file.
#include "web/Nettool.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "platform/posix/TcpStreamSocket.h"
#include "web/tests/FakeDevice.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace {

using ::testing::HasSubstr;
using webtest::Answer;
using webtest::FakeDevice;
using webtest::reply;

class CountingProgress : public fw::ProgressBar {
public:
    void setMaximum(int m) override { max = m; }
    void setPosition(int p) override { pos = p; }
    int maximum() const override { return max; }
    int position() const override { return pos; }
    int max = 0, pos = 0;
};

class BoxRecorder : public fw::Dialogs {
public:
    int messageBox(std::string_view text, std::optional<std::string_view> caption, fw::BoxButtons) override
    {
        boxes.push_back(std::string{caption.value_or("")} + "|" + std::string{text});
        return fw::kAnswerOk;
    }
    int dialog(fw::DialogType, std::string_view, fw::DialogButtons) override { return fw::kAnswerOk; }
    std::vector<std::string> boxes;
};

TEST(SocketErrorText, GivesTheTextOfEachNumberAndNamesUnknownOnes)
{
    EXPECT_EQ(SocketErrorText(10061), "Connection refused.");
    EXPECT_EQ(SocketErrorText(10060), "Connection timed out.");
    EXPECT_EQ(SocketErrorText(11004), "Valid name, no data record of requested type.");
    EXPECT_EQ(SocketErrorText(0), "unknown error code : 0");
    EXPECT_EQ(SocketErrorText(10000), "unknown error code : 10000");
}

TEST(SocketErrorNumber, MapsPosixErrorsToTheNumbersOfTheirMeaning)
{
    const std::pair<int, int> rows[] = {
        {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},  {EHOSTUNREACH, 10065}, {ENETUNREACH, 10051},
        {ECONNRESET, 10054},   {EADDRINUSE, 10048}, {EINTR, 10004},        {0, 0}};
    for (const auto& [posix, number] : rows) EXPECT_EQ(fw::socketErrorNumber(posix), number) << posix;
}

// One client exchange with a device: open, connect, send the request.
struct Exchange {
    SendPKT pkt;
    explicit Exchange(std::uint16_t port, const std::string& request = "GET / HTTP/1.1\r\n\r\n")
    {
        EXPECT_EQ(pkt.Open(), 1);
        EXPECT_EQ(pkt.Connect("127.0.0.1", port), 1);
        EXPECT_EQ(pkt.Send(request.data(), static_cast<int>(request.size()), nullptr),
                  static_cast<int>(request.size()));
    }
};

TEST(SendPKT, ConnectRefusedNamesAddressAndPort)
{
    std::uint16_t closedPort = 0;
    {
        FakeDevice device{{}};
        closedPort = device.port();
    }
    SendPKT pkt;
    ASSERT_EQ(pkt.Open(), 1);
    EXPECT_EQ(pkt.Connect("127.0.0.1", closedPort), -1);
    EXPECT_EQ(pkt.errorText,
              "Failed to connect socket to IP : 127.0.0.1 and port : " + std::to_string(closedPort));
}

TEST(SendPKT, SendingNothingTouchesNeitherSocketNorProgress)
{
    SendPKT pkt;
    ASSERT_EQ(pkt.Open(), 1);
    CountingProgress progress;
    progress.pos = 7;
    EXPECT_EQ(pkt.Send("x", 0, &progress), 0);
    EXPECT_EQ(pkt.Send("x", -5, &progress), 0);
    EXPECT_EQ(progress.pos, 7);
}

TEST(SendPKT, SendAdvancesTheProgressByEveryByteSent)
{
    FakeDevice device{{reply("HTTP/1.1 200 OK\r\n\r\n")}};
    SendPKT pkt;
    CountingProgress progress;
    progress.pos = 5;
    ASSERT_EQ(pkt.Open(), 1);
    ASSERT_EQ(pkt.Connect("127.0.0.1", device.port()), 1);
    const std::string body(300000, 'b');
    EXPECT_EQ(pkt.Send(body.data(), static_cast<int>(body.size()), &progress), 300000);
    EXPECT_EQ(progress.pos, 300005);
}

TEST(SendPKT, ReceiveToBufferHoldsAtMostTwoBytesLessThanTheBuffer)
{
    struct Row {
        std::size_t replyLength;
        int bufferSize;
        std::int32_t length;
    };
    for (const Row row : {Row{98, 100, 98}, Row{99, 100, -1}, Row{3000, 4000, 3000}, Row{3999, 4000, -1}}) {
        FakeDevice device{{reply(std::string(row.replyLength, 'r'))}};
        Exchange ex{device.port()};
        std::vector<char> buffer(static_cast<std::size_t>(row.bufferSize), 'x');
        const Peer_sock_info info = ex.pkt.ReceiveToBuffer(buffer.data(), row.bufferSize);
        EXPECT_EQ(info.length, row.length) << row.replyLength;
        if (row.length < 0) {
            EXPECT_EQ(ex.pkt.errorText, "Read Data grater than receive buffer!");
            EXPECT_EQ(buffer[buffer.size() - 2], 'r'); // filled up to its end
        } else {
            EXPECT_EQ(std::string(buffer.data()), std::string(row.replyLength, 'r'));
        }
    }
}

TEST(SendPKT, AReplyEndsWhenTheDeviceClosesAndNothingAtAllIsAnError)
{
    {
        FakeDevice device{{Answer{{"HTTP/1.1 200 OK\r\n", "\r\nlater"}}}};
        Exchange ex{device.port()};
        char buffer[200];
        EXPECT_EQ(ex.pkt.ReceiveToBuffer(buffer, sizeof buffer).length, 24);
        EXPECT_STREQ(buffer, "HTTP/1.1 200 OK\r\n\r\nlater");
    }
    {
        FakeDevice device{{reply("")}};
        Exchange ex{device.port()};
        char buffer[200];
        EXPECT_EQ(ex.pkt.ReceiveToBuffer(buffer, sizeof buffer).length, -1);
        EXPECT_EQ(ex.pkt.errorText, "Read Data error!");
    }
}

TEST(SendPKT, ADeviceThatKeepsTheConnectionOpenFailsAfterTheBound)
{
    FakeDevice device{{Answer{{"HTTP/1.1 200 OK\r\n\r\n--CAS:8003"}, Answer::End::KeepOpen}}};
    Exchange ex{device.port()};
    ex.pkt.setStallBoundMs(400);
    char buffer[200];
    EXPECT_EQ(ex.pkt.ReceiveToBuffer(buffer, sizeof buffer).length, -1);
    EXPECT_EQ(ex.pkt.errorText, "No data from the device for 1 seconds: 10060 Connection timed out.");
}

TEST(SendPKT, AStopRequestEndsAWaitingReadAtOnce)
{
    FakeDevice device{{Answer{{"partial"}, Answer::End::KeepOpen}}};
    Exchange ex{device.port()};
    fw::StopFlag stop{false};
    ex.pkt.setStopFlag(&stop);
    std::thread stopper{[&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    }};
    char buffer[200];
    EXPECT_EQ(ex.pkt.ReceiveToBuffer(buffer, sizeof buffer).length, -1);
    stopper.join();
    EXPECT_EQ(ex.pkt.errorText, "Socket Error: 10004 Interrupted system call.");
}

TEST(SendPKT, ReceiveToFileKeepsTheBodyAndJudgesTheStatusLine)
{
    struct Row {
        const char* name;
        std::vector<std::string> pieces;
        std::int32_t length;
        const char* errorText;
        const char* body;
        const char* box;
    };
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n";
    const Row rows[] = {
        {"body in the first segment", {header + "DATA"}, 42, "", "DATA", ""},
        {"body in later segments", {header + "DA", "TA"}, 42, "", "DATA", ""},
        {"header alone in the first segment",
         {header, "DATA"},
         -1,
         "HTTP header parse length error !",
         "",
         ""},
        {"no header end", {"HTTP/1.1 200 OK\nno end"}, -1, "HTTP header parse error !", "", ""},
        {"bad request", {"HTTP/1.1 400 Bad Request\r\n\r\n"}, -1, "Bad Request !", "", "File Error|error 03"},
        {"other status", {"HTTP/1.1 404 Not Found\r\n\r\n"}, -1, "unknown response error code !", "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto dir = fw::TempDir::create("fwweb-");
        const std::string target = dir->prefix() + "rom.bin";
        fw::File::createTruncated(target).write(fw::asBytes("old"));
        FakeDevice device{{Answer{row.pieces}}};
        Exchange ex{device.port()};
        BoxRecorder boxes;
        ex.pkt.setDialogs(&boxes);
        CountingProgress progress;
        const Peer_sock_info info = ex.pkt.ReceiveToFile(target, &progress);
        EXPECT_EQ(info.length, row.length);
        if (row.length < 0) {
            EXPECT_EQ(ex.pkt.errorText, row.errorText);
        } else {
            const auto bytes = fw::File::openRead(target).readAll();
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()), row.body);
            EXPECT_EQ(progress.pos, row.length); // header bytes included
        }
        EXPECT_EQ(boxes.boxes.empty() ? std::string{} : boxes.boxes[0], row.box);
        if (row.length >= 0) {
            EXPECT_EQ(ex.pkt.lastContentLength(), 4);
            EXPECT_EQ(ex.pkt.lastBodyLength(), 4);
        }
    }
}

} // namespace
