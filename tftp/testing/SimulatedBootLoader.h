#pragma once
// A boot loader behind a UDP datagram double, for logic tests: it acknowledges write requests and
// blocks from 192.168.0.1, stores the files, and can refuse, fall silent or repeat an ACK.
#include "platform/EventLoop.h"
#include "platform/UdpDatagram.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tftp::testing {

inline std::uint16_t be16(const std::vector<std::byte>& d, std::size_t at)
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(d[at]) << 8 |
                                      std::to_integer<unsigned>(d[at + 1]));
}

inline std::vector<std::byte> ackOf(unsigned block)
{
    return {std::byte{0}, std::byte{4}, static_cast<std::byte>(block >> 8),
            static_cast<std::byte>(block & 0xFF)};
}

// A boot loader at 192.168.0.1: acknowledges write requests and blocks, stores the files.
class SimulatedBootLoader final : public fw::UdpDatagram {
public:
    explicit SimulatedBootLoader(fw::EventLoop& loop) : m_loop{loop} {}

    bool SendBuffer(std::span<const std::byte> bytes) override
    {
        sent.push_back({{RemoteHost, RemotePort}, {bytes.begin(), bytes.end()}});
        if (OnDataSend) OnDataSend();
        answer(sent.back().bytes);
        return true;
    }
    std::size_t ReadBuffer(std::span<std::byte> buffer) override
    {
        const std::size_t n = std::min(buffer.size(), m_current.size());
        std::copy_n(m_current.begin(), n, buffer.begin());
        return n;
    }
    std::uint16_t LocalPort() const override { return 40000; }

    void deliver(std::vector<std::byte> bytes)
    {
        m_current = std::move(bytes);
        if (OnDataReceived) OnDataReceived(static_cast<int>(m_current.size()), {"192.168.0.1", answerPort});
    }

    struct Sent {
        fw::Endpoint to;
        std::vector<std::byte> bytes;
    };
    std::vector<Sent> sent;
    std::map<std::string, std::string> stored;
    std::vector<std::string> requests;
    int refuseRequest = 0;         // the n-th write request (from 1) gets an ERROR
    int silentAfterBlock = -1;     // no ACK for blocks after this one
    bool repeatFirstAck = false;   // the ACK of block 1 comes twice
    std::uint16_t answerPort = 69; // or a transfer port of its own
    std::function<void()> onReboot;

private:
    void reply(std::vector<std::byte> bytes)
    {
        m_loop.post([this, bytes] { deliver(bytes); });
    }
    void answer(const std::vector<std::byte>& d)
    {
        const std::uint16_t opcode = be16(d, 0);
        if (opcode == 2) { // write request
            const std::string name(reinterpret_cast<const char*>(d.data() + 2));
            requests.push_back(name);
            m_name = name;
            stored[name].clear();
            if (static_cast<int>(requests.size()) == refuseRequest) {
                reply({std::byte{0}, std::byte{5}, std::byte{0}, std::byte{0}, std::byte{0}});
                return;
            }
            reply(ackOf(0));
        } else if (opcode == 3) {
            const unsigned block = be16(d, 2);
            stored[m_name].append(reinterpret_cast<const char*>(d.data() + 4), d.size() - 4);
            if (silentAfterBlock >= 0 && static_cast<int>(block) > silentAfterBlock) return;
            reply(ackOf(block));
            if (block == 1 && repeatFirstAck) reply(ackOf(1));
        } else if (opcode == 1 && onReboot) {
            onReboot();
        }
    }

    fw::EventLoop& m_loop;
    std::vector<std::byte> m_current;
    std::string m_name;
};

} // namespace tftp::testing
