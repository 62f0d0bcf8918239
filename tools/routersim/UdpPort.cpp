// tools/routersim/UdpPort.cpp: the sockets; IP_PKTINFO tells where a datagram went and picks the source
// address of a reply, so one socket a port serves every device address.
#include "tools/routersim/UdpPort.h"

#include "tools/routersim/Log.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace routersim {

UdpPort::~UdpPort()
{
    if (m_fd >= 0) close(m_fd);
}

std::string UdpPort::open()
{
    const std::string name = "UDP port " + std::to_string(m_port);
    m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) return "cannot make a socket for " + name + ": " + std::strerror(errno);
    const int on = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0)
        return "cannot ask for IP_PKTINFO on " + name + ": " + std::strerror(errno);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return "cannot bind " + name + ": " + std::strerror(errno) + " (routersim runs as root)";
    if (m_port == 0) { // a port of the system's choosing: the one it picked is logged from here on
        socklen_t length = sizeof local;
        if (getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
            return "cannot read the port of a new socket: " + std::string(std::strerror(errno));
        m_port = ntohs(local.sin_port);
    }
    return {};
}

void UdpPort::receive()
{
    sockaddr_in from{};
    iovec iov{m_buffer.data(), m_buffer.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &from;
    message.msg_namelen = sizeof from;
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    const ssize_t size = recvmsg(m_fd, &message, 0);
    if (size < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            logLine("receive on port " + std::to_string(m_port) + " failed: " + std::strerror(errno));
        return;
    }
    Datagram datagram;
    datagram.bytes = std::span<const std::byte>(m_buffer.data(), static_cast<std::size_t>(size));
    datagram.from = from;
    datagram.port = m_port;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
            in_pktinfo info{};
            std::memcpy(&info, CMSG_DATA(c), sizeof info);
            datagram.to = info.ipi_addr;
        }
    }
    logLine("recv " + endpointText(from) + " -> " + endpointText(datagram.to, m_port) + " " +
            std::to_string(size) + " bytes: " + hexPrefix(datagram.bytes));
    for (const Handler& handler : m_handlers) {
        if (handler(datagram)) return;
    }
    logLine("  ignored: not a datagram port " + std::to_string(m_port) + " answers");
}

void UdpPort::sendFrom(in_addr source, const sockaddr_in& to, std::span<const std::byte> bytes,
                       const std::string& what)
{
    iovec iov{const_cast<std::byte*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = const_cast<sockaddr_in*>(&to);
    message.msg_namelen = sizeof to;
    message.msg_iov = &iov;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* c = CMSG_FIRSTHDR(&message);
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    info.ipi_spec_dst = source; // the reply's source address: the device's, not the one routing picks
    std::memcpy(CMSG_DATA(c), &info, sizeof info);
    const std::string line = endpointText(source, m_port) + " -> " + endpointText(to) + " " +
                             std::to_string(bytes.size()) + " bytes: " + hexPrefix(bytes) + " (" + what + ")";
    if (sendmsg(m_fd, &message, 0) < 0) {
        logLine("send failed: " + line + ": " + std::strerror(errno));
        return;
    }
    logLine("send " + line);
}

UdpPort& UdpPorts::at(std::uint16_t port)
{
    std::unique_ptr<UdpPort>& slot = m_ports[port];
    if (!slot) slot = std::make_unique<UdpPort>(port);
    return *slot;
}

std::string UdpPorts::openAll(EventLoop& loop)
{
    for (auto& [number, port] : m_ports) {
        if (std::string error = port->open(); !error.empty()) return error;
        UdpPort* p = port.get();
        loop.watch(p->fd(), [p] { p->receive(); });
    }
    return {};
}

std::string checkLocalAddress(in_addr address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::string("cannot make a socket: ") + std::strerror(errno);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr = address;
    const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    const int error = errno;
    close(fd);
    if (bound) return {};
    if (error == EADDRNOTAVAIL)
        return addressText(address) + " is not an address of this host (give it to the router side first)";
    return "cannot bind " + addressText(address) + ": " + std::strerror(error);
}

} // namespace routersim
