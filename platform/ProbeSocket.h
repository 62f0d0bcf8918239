#pragma once
// The device search's UDP socket and ICMP echo: a socket that may broadcast, keeps the local port it
// was given, and reads the datagrams waiting with their sender without blocking; one echo request
// with its reply.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fw {

struct Endpoint {
    std::string address; // dotted IPv4
    std::uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

struct ReceivedDatagram {
    std::vector<std::byte> bytes;
    Endpoint from;
};

class ProbeSocket {
public:
    virtual ~ProbeSocket() = default;
    // The local port of every later open; 0 lets the system choose. It stays until set again.
    virtual void setLocalPort(std::uint16_t port) = 0;
    virtual std::uint16_t localPort() const = 0;
    // Opens the socket on the local port; false with errorText() when that fails.
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    virtual bool sendTo(const Endpoint& to, std::span<const std::byte> bytes) = 0;
    // The next waiting datagram, cut to maxBytes; nullopt when none is waiting.
    virtual std::optional<ReceivedDatagram> readWaiting(std::size_t maxBytes) = 0;
    virtual void close() = 0;
    virtual const std::string& errorText() const = 0;
};

class IcmpEcho {
public:
    virtual ~IcmpEcho() = default;
    // Sends one echo request to address; the number of replies that came in time (0 or 1).
    virtual int ping(const std::string& address) = 0;
};

} // namespace fw
