#include "web/tests/FakeDevice.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace webtest {

Answer reply(std::string text)
{
    return Answer{{std::move(text)}};
}

FakeDevice::FakeDevice(std::vector<Answer> script) : m_script{std::move(script)}
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 ||
        ::listen(m_listener, 8) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&at), &length) != 0)
        throw std::runtime_error("fake device cannot listen");
    m_port = ntohs(at.sin_port);
    m_thread = std::thread{[this] { serve(); }};
}

FakeDevice::~FakeDevice()
{
    m_stop = true;
    m_thread.join();
    for (int fd : m_held) ::close(fd);
    ::close(m_listener);
}

std::vector<std::string> FakeDevice::requests() const
{
    std::lock_guard lock{m_mutex};
    return m_requests;
}

void FakeDevice::waitDone() const
{
    for (int i = 0; i < 500 && !m_done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// A request ends where the client stops sending: a body as long as its Content-Length, or, without
// one, a pause after a blank line (the login request has an early blank line of its own).
std::string FakeDevice::readRequest(int fd, std::size_t limit)
{
    std::string request;
    char buffer[65536];
    for (;;) {
        if (request.size() >= limit) {
            // A stalled device: it takes nothing more until the test ends.
            while (!m_stop) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            return request;
        }
        const std::size_t header = request.rfind("\r\n\r\n");
        const std::size_t lengthAt = request.find("Content-Length: ");
        bool complete = false;
        if (header != std::string::npos && lengthAt != std::string::npos) {
            const std::size_t bodyStart = request.find("\r\n\r\n", lengthAt) + 4;
            complete = request.size() >= bodyStart + std::stoul(request.substr(lengthAt + 16));
        }
        const bool pausable = header != std::string::npos && header + 4 == request.size();
        pollfd p{fd, POLLIN, 0};
        const int n = ::poll(&p, 1, complete ? 0 : pausable && lengthAt == std::string::npos ? 60 : 2000);
        if (n <= 0 || m_stop) return request;
        const ssize_t got = ::recv(fd, buffer, std::min(sizeof buffer, limit - request.size()), 0);
        if (got <= 0) return request;
        request.append(buffer, static_cast<std::size_t>(got));
    }
}

void FakeDevice::serve()
{
    for (Answer& answer : m_script) {
        int fd = -1;
        while (!m_stop && fd < 0) {
            pollfd p{m_listener, POLLIN, 0};
            if (::poll(&p, 1, 20) == 1) fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        }
        if (fd < 0) break;
        const std::string request = readRequest(fd, answer.readLimit);
        {
            std::lock_guard lock{m_mutex};
            m_requests.push_back(request);
        }
        for (std::size_t i = 0; i < answer.pieces.size() && !m_stop; ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::send(fd, answer.pieces[i].data(), answer.pieces[i].size(), MSG_NOSIGNAL);
        }
        if (answer.end == Answer::End::KeepOpen) {
            m_held.push_back(fd);
        } else {
            ::close(fd);
        }
    }
    m_done = true;
}

} // namespace webtest
