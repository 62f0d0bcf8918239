#pragma once
// ICMP echo on POSIX: an unprivileged ICMP socket where the system allows it, else a raw socket.
#include "platform/ProbeSocket.h"

namespace fw {

class IcmpPing final : public IcmpEcho {
public:
    struct Settings {
        int dataBytes = 56;
        int timeoutMs = 150;
        int ttl = 64;
    };
    explicit IcmpPing(std::string interfaceName = {}) : IcmpPing{Settings{}, std::move(interfaceName)} {}
    IcmpPing(Settings settings, std::string interfaceName);

    int ping(const std::string& address) override;
    // Why the last request could not be sent; empty after one that went out.
    const std::string& errorText() const { return m_error; }

private:
    int openSocket(bool& raw);

    Settings m_settings;
    std::string m_interface;
    std::uint16_t m_sequence = 0;
    std::string m_error;
};

} // namespace fw
