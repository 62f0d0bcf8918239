// tools/routersim/EventLoop.cpp: poll(2) over the watched descriptors and a signalfd.
#include "tools/routersim/EventLoop.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace routersim {

EventLoop::~EventLoop()
{
    if (m_signalFd >= 0) close(m_signalFd);
}

std::string EventLoop::catchStopSignals()
{
    // Blocked, a signal stays pending until the signalfd reads it, even where a shell started us as a
    // background job with SIGINT ignored.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0)
        return std::string("cannot block SIGTERM and SIGINT: ") + std::strerror(errno);
    m_signalFd = signalfd(-1, &signals, SFD_CLOEXEC);
    if (m_signalFd < 0) return std::string("cannot make a signalfd: ") + std::strerror(errno);
    return {};
}

void EventLoop::watch(int fd, std::function<void()> onReadable)
{
    m_watches.push_back({fd, std::move(onReadable)});
}

std::string EventLoop::run()
{
    std::vector<pollfd> fds;
    fds.push_back({m_signalFd, POLLIN, 0});
    for (const Watch& watch : m_watches) fds.push_back({watch.fd, POLLIN, 0});
    while (true) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return std::string("poll failed: ") + std::strerror(errno);
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (read(m_signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                m_stopSignal = static_cast<int>(info.ssi_signo);
                return {};
            }
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents & (POLLIN | POLLERR)) m_watches[i - 1].onReadable();
        }
    }
}

} // namespace routersim
