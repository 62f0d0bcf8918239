#include "platform/posix/UdpDatagramSocket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fw {

UdpDatagramSocket::UdpDatagramSocket(EventLoop& loop, const std::string& bindAddress)
{
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, IPPROTO_UDP);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = 0;
    socklen_t length = sizeof local;
    if (m_fd < 0 || ::inet_pton(AF_INET, bindAddress.c_str(), &local.sin_addr) != 1 ||
        ::bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        m_error = std::string{"cannot open a UDP socket: "} + std::strerror(errno);
        if (m_fd >= 0) ::close(m_fd);
        m_fd = -1;
        return;
    }
    m_localPort = ntohs(local.sin_port);
    m_watch = loop.watchReadable(m_fd, [this] { readWaiting(); });
}

UdpDatagramSocket::~UdpDatagramSocket()
{
    m_watch.reset();
    if (m_fd >= 0) ::close(m_fd);
}

bool UdpDatagramSocket::SendBuffer(std::span<const std::byte> bytes)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(RemotePort);
    if (m_fd < 0 || ::inet_pton(AF_INET, RemoteHost.c_str(), &peer.sin_addr) != 1) {
        m_error = "cannot send to " + RemoteHost;
        return false;
    }
    const ssize_t sent =
        ::sendto(m_fd, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    if (sent != static_cast<ssize_t>(bytes.size())) {
        m_error = "cannot send to " + RemoteHost + ": " + std::strerror(errno);
        return false;
    }
    if (OnDataSend) OnDataSend();
    return true;
}

std::size_t UdpDatagramSocket::ReadBuffer(std::span<std::byte> buffer)
{
    const std::size_t count = std::min(buffer.size(), m_datagram.size());
    std::copy_n(m_datagram.begin(), count, buffer.begin());
    return count;
}

void UdpDatagramSocket::readWaiting()
{
    // The largest UDP datagram fits, so the receive itself never cuts; ReadBuffer cuts to its caller.
    std::vector<std::byte> buffer(65536);
    for (;;) {
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(m_fd, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return; // nothing more waiting (a refused port's ICMP error ends the reading alike)
        m_datagram.assign(buffer.begin(), buffer.begin() + n);
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
        if (OnDataReceived) OnDataReceived(static_cast<int>(n), Endpoint{text, ntohs(from.sin_port)});
        m_datagram.clear();
    }
}

} // namespace fw
