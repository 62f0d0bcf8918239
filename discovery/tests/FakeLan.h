#pragma once
// Simulated devices behind the fake probe socket: each answers the probes it is set up for.
#include "discovery/ProbeFormats.h"
#include "platform/testing/FakeProbeSocket.h"

#include <cstring>
#include <optional>
#include <set>

namespace discovery::testing {

struct SimDevice {
    SimDevice(std::string address_, std::set<int> answers_, std::string module_ = "XY",
              std::string detail_ = "1.0", std::optional<std::string> repliesFrom_ = {},
              std::size_t replyLength_ = 0)
        : address{std::move(address_)}, answers{std::move(answers_)}, module{std::move(module_)},
          detail{std::move(detail_)}, repliesFrom{std::move(repliesFrom_)}, replyLength{replyLength_}
    {
    }
    std::string address;
    std::set<int> answers; // probe kinds
    std::string module = "XY";
    std::string detail = "1.0";
    std::optional<std::string> repliesFrom; // a device that answers from another address
    std::size_t replyLength = 0;            // 0: the full reply
};

inline int kindOfDatagram(const std::vector<std::byte>& d)
{
    if (d.size() == 4 && d[0] == std::byte{'Q'} && d[1] == std::byte{'D'}) return probe::kNormal;
    if (d.size() == 3 && d[0] == std::byte{'Q'} && d[1] == std::byte{'Q'}) return probe::kDefaultAddress;
    if (d.size() == 11 && d[1] == std::byte{1}) return probe::kCrash;
    if (d.size() == probe::kBootRequestLength && d[0] == std::byte{0xC0}) return probe::kBootRequest;
    return 0;
}

inline void put(std::vector<std::byte>& d, std::size_t at, const std::string& text)
{
    std::memcpy(d.data() + at, text.data(), std::min(text.size(), d.size() - at - 1));
}

inline std::vector<std::byte> replyOf(int kind, const SimDevice& device)
{
    std::vector<std::byte> reply;
    switch (kind) {
    case probe::kNormal:
        reply.resize(68);
        put(reply, 44, device.module);
        put(reply, 12, device.detail);
        break;
    case probe::kBootRequest:
        reply.resize(548);
        reply[0] = std::byte{0xC1};
        put(reply, 108, device.module);
        put(reply, 140, device.detail);
        break;
    case probe::kCrash:
        reply.resize(40);
        reply[1] = std::byte{3};
        reply[3] = std::byte{1};
        put(reply, 4, "$Brisel-" + device.module);
        break;
    case probe::kDefaultAddress:
        reply.resize(64);
        break;
    }
    if (device.replyLength) reply.resize(device.replyLength);
    return reply;
}

// Answers every probe the socket sends as the devices would.
inline void connect(fw::FakeProbeSocket& socket, const std::vector<SimDevice>& devices)
{
    socket.onSend = [&socket, devices](const fw::FakeProbeSocket::Sent& sent) {
        const int kind = kindOfDatagram(sent.bytes);
        for (const SimDevice& device : devices) {
            const bool addressed = sent.to.address == "255.255.255.255" || sent.to.address == device.address;
            if (!addressed || !device.answers.count(kind)) continue;
            socket.deliver(replyOf(kind, device), device.repliesFrom.value_or(device.address), sent.to.port);
        }
    };
}

} // namespace discovery::testing
