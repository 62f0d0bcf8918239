// tools/routersim/TcpListener.h: a nonblocking listening TCP socket on one address and port of this host.
#pragma once

#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace routersim {

struct AcceptedConnection {
    int fd = -1; // nonblocking; the caller closes it
    sockaddr_in peer{};
    sockaddr_in local{};
};

class TcpListener {
public:
    TcpListener(in_addr address, std::uint16_t port) : m_address{address}, m_port{port} {}
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;
    ~TcpListener();

    std::string open(); // the error text, empty on success
    int fd() const { return m_fd; }
    std::uint16_t port() const { return m_port; }
    // The next waiting connection; nullopt when none waits, or when accepting failed (error says why).
    std::optional<AcceptedConnection> accept(std::string& error);

private:
    in_addr m_address;
    std::uint16_t m_port;
    int m_fd = -1;
};

} // namespace routersim
