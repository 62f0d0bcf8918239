// The UDP datagram component, real on 127.0.0.1 and in memory, through the same suite.
#include "platform/File.h"
#include "platform/posix/UdpDatagramSocket.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/testing/FakeUdpDatagram.h"
#include "platform/testing/VirtualLoop.h"

#include <gtest/gtest.h>
#include <memory>

namespace fw {
namespace {

struct Pair {
    std::unique_ptr<EventLoop> loop;
    std::unique_ptr<FakeUdpNetwork> network;
    std::unique_ptr<UdpDatagram> a, b;
};

using PairFactory = Pair (*)();

Pair realPair()
{
    Pair p;
    p.loop = std::make_unique<QtEventLoop>();
    p.a = std::make_unique<UdpDatagramSocket>(*p.loop, "127.0.0.1");
    p.b = std::make_unique<UdpDatagramSocket>(*p.loop, "127.0.0.1");
    return p;
}

Pair fakePair()
{
    Pair p;
    p.loop = std::make_unique<VirtualLoop>();
    p.network = std::make_unique<FakeUdpNetwork>(*p.loop);
    p.a = std::make_unique<FakeUdpDatagram>(*p.network);
    p.b = std::make_unique<FakeUdpDatagram>(*p.network);
    return p;
}

class UdpDatagramConformance : public ::testing::TestWithParam<PairFactory> {
protected:
    Pair p = GetParam()();
    std::vector<std::vector<std::byte>> received;
    std::vector<Endpoint> senders;
    std::vector<int> counts;
    std::size_t bufferSize = 516;

    void SetUp() override
    {
        ASSERT_NE(p.a->LocalPort(), 0);
        ASSERT_NE(p.a->LocalPort(), p.b->LocalPort());
        p.a->RemoteHost = "127.0.0.1";
        p.a->RemotePort = p.b->LocalPort();
        p.b->OnDataReceived = [this](int count, const Endpoint& from) {
            std::vector<std::byte> buffer(bufferSize);
            buffer.resize(p.b->ReadBuffer(buffer));
            received.push_back(buffer);
            senders.push_back(from);
            counts.push_back(count);
        };
    }
    void waitFor(std::size_t datagrams)
    {
        auto guard = p.loop->createTimer(2000); // a lost datagram fails the test instead of hanging it
        bool late = false;
        guard->onTick = [&] { late = true; };
        guard->start();
        p.loop->runModal([&] { return received.size() >= datagrams || late; });
        ASSERT_FALSE(late) << "datagram lost";
    }
};

TEST_P(UdpDatagramConformance, SendsOneDatagramAndRaisesTheSentEventInsideTheSend)
{
    bool sentDuringCall = false;
    bool inCall = false;
    p.a->OnDataSend = [&] { sentDuringCall = inCall; };
    const std::string text = "hello";
    inCall = true;
    ASSERT_TRUE(p.a->SendBuffer(asBytes(text)));
    inCall = false;
    EXPECT_TRUE(sentDuringCall);
    waitFor(1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(received[0].data()), received[0].size()), "hello");
    EXPECT_EQ(senders[0], (Endpoint{"127.0.0.1", p.a->LocalPort()}));
    EXPECT_EQ(counts[0], 5);
}

TEST_P(UdpDatagramConformance, AReadIsCutToTheCallersBuffer)
{
    const std::vector<std::byte> big(600, std::byte{7});
    ASSERT_TRUE(p.a->SendBuffer(big));
    waitFor(1);
    EXPECT_EQ(counts[0], 600);
    EXPECT_EQ(received[0].size(), 516u);
}

TEST_P(UdpDatagramConformance, DatagramsArriveOneEventEach)
{
    for (const char* text : {"one", "two", "three"}) ASSERT_TRUE(p.a->SendBuffer(asBytes(text)));
    waitFor(3);
    ASSERT_EQ(counts.size(), 3u);
    EXPECT_EQ(counts[2], 5);
}

INSTANTIATE_TEST_SUITE_P(Components, UdpDatagramConformance, ::testing::Values(&realPair, &fakePair),
                         [](const auto& info) {
                             return std::string(info.index == 0 ? "Posix" : "InMemory");
                         });

} // namespace
} // namespace fw
