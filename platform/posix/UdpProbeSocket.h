#pragma once
// The device search's UDP socket on POSIX: SO_BROADCAST, bound to the chosen local port and, when
// asked, to one network interface.
#include "platform/ProbeSocket.h"

namespace fw {

class UdpProbeSocket final : public ProbeSocket {
public:
    // interfaceName empty: the system's routing picks the interface.
    explicit UdpProbeSocket(std::string interfaceName = {}) : m_interface{std::move(interfaceName)} {}
    ~UdpProbeSocket() override { close(); }

    void setLocalPort(std::uint16_t port) override { m_localPort = port; }
    std::uint16_t localPort() const override { return m_localPort; }
    bool open() override;
    bool isOpen() const override { return m_fd >= 0; }
    bool sendTo(const Endpoint& to, std::span<const std::byte> bytes) override;
    std::optional<ReceivedDatagram> readWaiting(std::size_t maxBytes) override;
    void close() override;
    const std::string& errorText() const override { return m_error; }

private:
    bool fail(const std::string& what);

    std::string m_interface;
    std::uint16_t m_localPort = 0;
    int m_fd = -1;
    std::string m_error;
};

} // namespace fw
