// tools/routersim/TcpListener.cpp: socket, bind, listen and accept4.
#include "tools/routersim/TcpListener.h"

#include "tools/routersim/Log.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace routersim {

namespace {

constexpr int kBacklog = 16;

} // namespace

TcpListener::~TcpListener()
{
    if (m_fd >= 0) close(m_fd);
}

std::string TcpListener::open()
{
    const std::string name = "TCP port " + endpointText(m_address, m_port);
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) return "cannot make a socket for " + name + ": " + std::strerror(errno);
    const int on = 1;
    setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on); // a run right after the last binds again
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(m_port);
    local.sin_addr = m_address;
    if (bind(m_fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0)
        return "cannot bind " + name + ": " + std::strerror(errno) + " (routersim runs as root)";
    if (listen(m_fd, kBacklog) != 0) return "cannot listen on " + name + ": " + std::strerror(errno);
    return {};
}

std::optional<AcceptedConnection> TcpListener::accept(std::string& error)
{
    AcceptedConnection accepted;
    socklen_t length = sizeof accepted.peer;
    accepted.fd =
        accept4(m_fd, reinterpret_cast<sockaddr*>(&accepted.peer), &length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted.fd < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR && errno != ECONNABORTED)
            error = "accept on " + endpointText(m_address, m_port) + " failed: " + std::strerror(errno);
        return std::nullopt;
    }
    length = sizeof accepted.local;
    getsockname(accepted.fd, reinterpret_cast<sockaddr*>(&accepted.local), &length);
    return accepted;
}

} // namespace routersim
