#include "platform/posix/UdpProbeSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {

bool UdpProbeSocket::fail(const std::string& what)
{
    m_error = what + ": " + std::strerror(errno);
    close();
    return false;
}

bool UdpProbeSocket::open()
{
    close();
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
    if (m_fd < 0) return fail("cannot create a UDP socket");
    const int on = 1;
    if (::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0)
        return fail("cannot allow broadcast");
    if (!m_interface.empty() &&
        ::setsockopt(m_fd, SOL_SOCKET, SO_BINDTODEVICE, m_interface.c_str(), m_interface.size()) != 0)
        return fail("cannot bind to interface " + m_interface);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(m_localPort);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return fail("cannot use local UDP port " + std::to_string(m_localPort));
    m_error.clear();
    return true;
}

bool UdpProbeSocket::sendTo(const Endpoint& to, std::span<const std::byte> bytes)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(to.port);
    if (m_fd < 0 || ::inet_pton(AF_INET, to.address.c_str(), &peer.sin_addr) != 1) {
        m_error = "cannot send to " + to.address;
        return false;
    }
    const ssize_t n =
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    if (n != static_cast<ssize_t>(bytes.size())) {
        m_error = "cannot send to " + to.address + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::optional<ReceivedDatagram> UdpProbeSocket::readWaiting(std::size_t maxBytes)
{
    if (m_fd < 0) return std::nullopt;
    ReceivedDatagram datagram;
    datagram.bytes.resize(maxBytes);
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    ssize_t n;
    do {
        // A datagram longer than the buffer is cut to it; the rest is dropped by the system.
        n = ::recvfrom(m_fd, datagram.bytes.data(), datagram.bytes.size(), 0,
                       reinterpret_cast<sockaddr*>(&peer), &length);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return std::nullopt; // nothing waiting (or an error, which ends the reading alike)
    datagram.bytes.resize(static_cast<std::size_t>(n));
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    datagram.from = {text, ntohs(peer.sin_port)};
    return datagram;
}

void UdpProbeSocket::close()
{
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

} // namespace fw
