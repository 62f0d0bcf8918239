#pragma once
// In-memory UDP datagram components for logic tests: what is sent is recorded, and the test plays
// the device by delivering datagrams. Components on one FakeUdpNetwork reach each other by port.
#include "platform/EventLoop.h"
#include "platform/UdpDatagram.h"

#include <algorithm>
#include <map>
#include <vector>

namespace fw {

class FakeUdpDatagram;

class FakeUdpNetwork {
public:
    explicit FakeUdpNetwork(EventLoop& loop) : m_loop{loop} {}
    EventLoop& loop() { return m_loop; }
    std::uint16_t attach(FakeUdpDatagram* component)
    {
        m_members[m_nextPort] = component;
        return m_nextPort++;
    }
    void detach(std::uint16_t port) { m_members.erase(port); }
    FakeUdpDatagram* at(std::uint16_t port)
    {
        const auto it = m_members.find(port);
        return it == m_members.end() ? nullptr : it->second;
    }

private:
    EventLoop& m_loop;
    std::map<std::uint16_t, FakeUdpDatagram*> m_members;
    std::uint16_t m_nextPort = 40000;
};

class FakeUdpDatagram final : public UdpDatagram {
public:
    struct Sent {
        Endpoint to;
        std::vector<std::byte> bytes;
    };

    explicit FakeUdpDatagram(FakeUdpNetwork& network) : m_network{network}, m_port{network.attach(this)} {}
    ~FakeUdpDatagram() override { m_network.detach(m_port); }

    bool SendBuffer(std::span<const std::byte> bytes) override
    {
        sent.push_back({{RemoteHost, RemotePort}, {bytes.begin(), bytes.end()}});
        if (FakeUdpDatagram* peer = RemoteHost == "127.0.0.1" ? m_network.at(RemotePort) : nullptr) {
            std::vector<std::byte> copy{bytes.begin(), bytes.end()};
            const Endpoint from{"127.0.0.1", m_port};
            m_network.loop().post([peer, copy, from, port = RemotePort, &network = m_network] {
                if (network.at(port) == peer) peer->deliver(copy, from); // the receiver may be gone
            });
        }
        if (OnDataSend) OnDataSend();
        return true;
    }
    std::size_t ReadBuffer(std::span<std::byte> buffer) override
    {
        const std::size_t count = std::min(buffer.size(), m_datagram.size());
        std::copy_n(m_datagram.begin(), count, buffer.begin());
        return count;
    }
    std::uint16_t LocalPort() const override { return m_port; }

    // A datagram arrives from `from`, as if from the network.
    void deliver(const std::vector<std::byte>& bytes, const Endpoint& from)
    {
        m_datagram = bytes;
        if (OnDataReceived) OnDataReceived(static_cast<int>(bytes.size()), from);
        m_datagram.clear();
    }

    std::vector<Sent> sent;

private:
    FakeUdpNetwork& m_network;
    std::uint16_t m_port;
    std::vector<std::byte> m_datagram;
};

} // namespace fw
