#pragma once
// In-memory probe socket and echo for logic tests: the test plays the devices on the LAN.
#include "platform/ProbeSocket.h"

#include <deque>
#include <functional>
#include <set>

namespace fw {

class FakeProbeSocket final : public ProbeSocket {
public:
    struct Sent {
        Endpoint to;
        std::uint16_t fromPort;
        std::vector<std::byte> bytes;
    };

    void setLocalPort(std::uint16_t port) override { m_localPort = port; }
    std::uint16_t localPort() const override { return m_localPort; }
    bool open() override
    {
        if (refusedPorts.count(m_localPort)) {
            m_error = "Address already in use";
            return false;
        }
        m_open = true;
        ++opens;
        return true;
    }
    bool isOpen() const override { return m_open; }
    bool sendTo(const Endpoint& to, std::span<const std::byte> bytes) override
    {
        sent.push_back({to, m_localPort, {bytes.begin(), bytes.end()}});
        if (onSend) onSend(sent.back());
        return true;
    }
    std::optional<ReceivedDatagram> readWaiting(std::size_t maxBytes) override
    {
        if (!m_open || waiting.empty()) return std::nullopt;
        ReceivedDatagram d = std::move(waiting.front());
        waiting.pop_front();
        if (d.bytes.size() > maxBytes) d.bytes.resize(maxBytes);
        return d;
    }
    void close() override { m_open = false; }
    const std::string& errorText() const override { return m_error; }

    // Queues a reply as if it had arrived from `from`.
    void deliver(std::vector<std::byte> bytes, std::string from, std::uint16_t port = 9)
    {
        waiting.push_back({std::move(bytes), {std::move(from), port}});
    }

    std::function<void(const Sent&)> onSend; // the devices answer here
    std::vector<Sent> sent;
    std::deque<ReceivedDatagram> waiting;
    std::set<std::uint16_t> refusedPorts; // local ports that cannot be had
    int opens = 0;

private:
    std::uint16_t m_localPort = 0;
    bool m_open = false;
    std::string m_error;
};

class FakeIcmpEcho final : public IcmpEcho {
public:
    int ping(const std::string& address) override
    {
        pinged.push_back(address);
        return answering.count(address) ? 1 : 0;
    }
    std::set<std::string> answering;
    std::vector<std::string> pinged;
};

} // namespace fw
