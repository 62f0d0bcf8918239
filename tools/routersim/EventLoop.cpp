// tools/routersim/EventLoop.cpp: poll(2) over the watched descriptors and a signalfd, with the next timer's
// due time as the poll timeout.
#include "tools/routersim/EventLoop.h"

#include <algorithm>
#include <cerrno>
#include <climits>
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
    m_watches[fd].onReadable = std::move(onReadable);
}

void EventLoop::watchWritable(int fd, std::function<void()> onWritable)
{
    m_watches[fd].onWritable = std::move(onWritable);
}

void EventLoop::unwatchReadable(int fd)
{
    const auto found = m_watches.find(fd);
    if (found == m_watches.end()) return;
    found->second.onReadable = nullptr;
    // No entry stays without a handler: poll would report a hang-up on it that nobody takes, on every turn.
    if (!found->second.onWritable) m_watches.erase(found);
}

void EventLoop::unwatchWritable(int fd)
{
    const auto found = m_watches.find(fd);
    if (found == m_watches.end()) return;
    found->second.onWritable = nullptr;
    if (!found->second.onReadable) m_watches.erase(found);
}

void EventLoop::unwatch(int fd)
{
    m_watches.erase(fd);
}

void EventLoop::after(std::chrono::milliseconds delay, std::function<void()> onDue)
{
    m_timers.emplace(Clock::now() + delay, std::move(onDue));
}

void EventLoop::fireDueTimers()
{
    // Only the timers due now: one that a callback sets for now fires on the next turn, so a turn ends.
    const Clock::time_point now = Clock::now();
    std::vector<std::function<void()>> due;
    while (!m_timers.empty() && m_timers.begin()->first <= now) {
        due.push_back(std::move(m_timers.begin()->second));
        m_timers.erase(m_timers.begin());
    }
    for (const auto& onDue : due) onDue();
}

std::string EventLoop::run()
{
    std::vector<pollfd> fds;
    while (true) {
        fds.assign(1, {m_signalFd, POLLIN, 0});
        for (const auto& [fd, w] : m_watches) {
            const short events =
                static_cast<short>((w.onReadable ? POLLIN : 0) | (w.onWritable ? POLLOUT : 0));
            fds.push_back({fd, events, 0});
        }
        int timeoutMs = -1;
        if (!m_timers.empty()) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(m_timers.begin()->first - Clock::now());
            timeoutMs = static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, INT_MAX));
        }
        const int ready = poll(fds.data(), fds.size(), timeoutMs);
        if (ready < 0) {
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
            // A handler before this one may have closed the descriptor; a socket that took its number
            // since is only read or written once more, and a nonblocking try of nothing is harmless. Each
            // handler is looked up afresh, as the one before may have unwatched it.
            const short revents = fds[i].revents;
            if (revents & (POLLIN | POLLERR | POLLHUP)) {
                const auto found = m_watches.find(fds[i].fd);
                if (found != m_watches.end() && found->second.onReadable) {
                    const std::function<void()> onReadable = found->second.onReadable; // it may unwatch
                    onReadable();
                }
            }
            if (revents & (POLLOUT | POLLERR | POLLHUP)) {
                const auto found = m_watches.find(fds[i].fd);
                if (found != m_watches.end() && found->second.onWritable) {
                    const std::function<void()> onWritable = found->second.onWritable;
                    onWritable();
                }
            }
        }
        fireDueTimers();
    }
}

} // namespace routersim
