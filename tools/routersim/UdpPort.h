// tools/routersim/UdpPort.h: a UDP port bound on all addresses that the services share, and the set of them.
#pragma once

#include "tools/routersim/EventLoop.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <span>
#include <string>
#include <vector>

namespace routersim {

struct Datagram {
    std::span<const std::byte> bytes;
    sockaddr_in from{};
    in_addr to{}; // destination of the IP header: 255.255.255.255 for a broadcast
    std::uint16_t port = 0;
};

class UdpPort {
public:
    // Returns true when it took the datagram; a port hands each datagram to its handlers in turn.
    using Handler = std::function<bool(const Datagram&)>;

    explicit UdpPort(std::uint16_t port) : m_port{port} {} // 0: the system picks one when it opens
    UdpPort(const UdpPort&) = delete;
    UdpPort& operator=(const UdpPort&) = delete;
    ~UdpPort();

    std::string open(); // the error text, empty on success
    int fd() const { return m_fd; }
    std::uint16_t port() const { return m_port; }
    void addHandler(Handler handler) { m_handlers.push_back(std::move(handler)); }
    void receive(); // one datagram: logged, then handed to the handlers
    // Sends from source (an address of this host) and this port, and logs it with what it is.
    void sendFrom(in_addr source, const sockaddr_in& to, std::span<const std::byte> bytes,
                  const std::string& what);

private:
    std::uint16_t m_port;
    int m_fd = -1;
    std::vector<Handler> m_handlers;
    std::vector<std::byte> m_buffer = std::vector<std::byte>(65536);
};

class UdpPorts {
public:
    UdpPort& at(std::uint16_t port); // made on first use
    std::string openAll(EventLoop& loop);

private:
    std::map<std::uint16_t, std::unique_ptr<UdpPort>> m_ports;
};

// Empty when address is one of this host's, else the text saying why not.
std::string checkLocalAddress(in_addr address);

} // namespace routersim
