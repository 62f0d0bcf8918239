#pragma once
// A UDP socket on a port the system picks when it is made: one-datagram sends to RemoteHost and
// RemotePort that raise OnDataSend inside the send, and datagrams received on the window thread.
#include "platform/ProbeSocket.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace fw {

class UdpDatagram {
public:
    virtual ~UdpDatagram() = default;

    // Sends exactly these bytes as one datagram to RemoteHost:RemotePort; OnDataSend fires before it
    // returns. False when the datagram could not be sent.
    virtual bool SendBuffer(std::span<const std::byte> bytes) = 0;
    // Inside OnDataReceived: copies the datagram into buffer, cut to its size; returns the bytes copied.
    virtual std::size_t ReadBuffer(std::span<std::byte> buffer) = 0;
    virtual std::uint16_t LocalPort() const = 0;

    std::string RemoteHost;
    std::uint16_t RemotePort = 0;
    std::function<void(int byteCount, const Endpoint& from)> OnDataReceived;
    std::function<void()> OnDataSend;
};

} // namespace fw
