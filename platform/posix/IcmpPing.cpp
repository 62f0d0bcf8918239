#include "platform/posix/IcmpPing.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace fw {
namespace {

std::uint16_t checksum(const std::uint8_t* data, std::size_t length)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < length; i += 2)
        sum += static_cast<std::uint32_t>(data[i] << 8 | data[i + 1]);
    if (length % 2) sum += static_cast<std::uint32_t>(data[length - 1] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint16_t>(~sum);
}

struct Socket {
    int fd = -1;
    ~Socket()
    {
        if (fd >= 0) ::close(fd);
    }
};

} // namespace

IcmpPing::IcmpPing(Settings settings, std::string interfaceName)
    : m_settings{settings}, m_interface{std::move(interfaceName)}
{
}

int IcmpPing::openSocket(bool& raw)
{
    raw = false;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0) {
        raw = true;
        fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    }
    return fd;
}

int IcmpPing::ping(const std::string& address)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1) {
        m_error = "not an IPv4 address: " + address;
        return 0;
    }
    bool raw = false;
    Socket socket{openSocket(raw)};
    if (socket.fd < 0) {
        m_error =
            std::string{"cannot open an ICMP socket (needs root or cap_net_raw): "} + std::strerror(errno);
        return 0;
    }
    ::setsockopt(socket.fd, IPPROTO_IP, IP_TTL, &m_settings.ttl, sizeof m_settings.ttl);
    if (!m_interface.empty() &&
        ::setsockopt(socket.fd, SOL_SOCKET, SO_BINDTODEVICE, m_interface.c_str(), m_interface.size()) != 0) {
        m_error = "cannot bind the ICMP socket to " + m_interface + ": " + std::strerror(errno);
        return 0;
    }

    const std::uint16_t id = static_cast<std::uint16_t>(::getpid());
    const std::uint16_t sequence = ++m_sequence;
    std::vector<std::uint8_t> request(8 + static_cast<std::size_t>(m_settings.dataBytes));
    request[0] = ICMP_ECHO;
    request[4] = static_cast<std::uint8_t>(id >> 8);
    request[5] = static_cast<std::uint8_t>(id);
    request[6] = static_cast<std::uint8_t>(sequence >> 8);
    request[7] = static_cast<std::uint8_t>(sequence);
    for (std::size_t i = 8; i < request.size(); ++i) request[i] = static_cast<std::uint8_t>(i);
    const std::uint16_t sum = checksum(request.data(), request.size());
    request[2] = static_cast<std::uint8_t>(sum >> 8);
    request[3] = static_cast<std::uint8_t>(sum);
    if (::sendto(socket.fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&target),
                 sizeof target) < 0) {
        m_error = "cannot send an echo request to " + address + ": " + std::strerror(errno);
        return 0;
    }
    m_error.clear();

    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds{m_settings.timeoutMs};
    std::uint8_t reply[2048];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return 0;
        pollfd wait{socket.fd, POLLIN, 0};
        if (::poll(&wait, 1, static_cast<int>(left)) <= 0) continue;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t n =
            ::recvfrom(socket.fd, reply, sizeof reply, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n <= 0 || from.sin_addr.s_addr != target.sin_addr.s_addr) continue;
        std::size_t at = 0;
        if (raw) {
            at = static_cast<std::size_t>(reply[0] & 0x0F) * 4; // a raw socket hands over the IP header too
            if (static_cast<std::size_t>(n) < at + 8) continue;
            const std::uint16_t replyId = static_cast<std::uint16_t>(reply[at + 4] << 8 | reply[at + 5]);
            if (replyId != id) continue; // another program's echo
        } else if (n < 8) {
            continue;
        }
        const std::uint16_t replySequence = static_cast<std::uint16_t>(reply[at + 6] << 8 | reply[at + 7]);
        if (reply[at] == ICMP_ECHOREPLY && replySequence == sequence) return 1;
    }
}

} // namespace fw
