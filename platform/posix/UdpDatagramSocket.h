#pragma once
// The UDP datagram component on POSIX: bound to a system-chosen port at creation, watched by the
// event loop, every waiting datagram delivered as one received event.
#include "platform/EventLoop.h"
#include "platform/UdpDatagram.h"

#include <memory>
#include <vector>

namespace fw {

class UdpDatagramSocket final : public UdpDatagram {
public:
    // bindAddress "0.0.0.0" takes every interface; tests bind to 127.0.0.1.
    explicit UdpDatagramSocket(EventLoop& loop, const std::string& bindAddress = "0.0.0.0");
    ~UdpDatagramSocket() override;

    bool SendBuffer(std::span<const std::byte> bytes) override;
    std::size_t ReadBuffer(std::span<std::byte> buffer) override;
    std::uint16_t LocalPort() const override { return m_localPort; }
    bool isOpen() const { return m_fd >= 0; }
    const std::string& errorText() const { return m_error; }

private:
    void readWaiting();

    int m_fd = -1;
    std::uint16_t m_localPort = 0;
    std::unique_ptr<ReadableWatch> m_watch;
    std::vector<std::byte> m_datagram; // the one being delivered
    std::string m_error;
};

} // namespace fw
