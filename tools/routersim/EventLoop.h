// tools/routersim/EventLoop.h: a poll loop over the services' descriptors and timers that SIGTERM or SIGINT
// ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace routersim {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;

    EventLoop() = default;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;
    ~EventLoop();

    // Takes SIGTERM and SIGINT as events from here on; call before the sockets are made, so a signal
    // that comes while starting up still ends the loop. Returns the error text, empty on success.
    std::string catchStopSignals();
    // Watches may come and go while the loop runs: a socket opened for one transfer is watched only as
    // long as it lives. A hang-up or an error counts as readable (and writable), so its handler meets it.
    void watch(int fd, std::function<void()> onReadable);
    void watchWritable(int fd, std::function<void()> onWritable);
    void unwatchReadable(int fd);
    void unwatchWritable(int fd);
    void unwatch(int fd); // both ways
    // Calls onDue once, delay from now; timers due at the same time fire in the order they were set.
    void after(std::chrono::milliseconds delay, std::function<void()> onDue);
    // Returns when a stop signal came (empty text) or polling failed (the error text).
    std::string run();
    int stopSignal() const { return m_stopSignal; }

private:
    void fireDueTimers();

    struct Watch {
        std::function<void()> onReadable;
        std::function<void()> onWritable;
    };

    std::map<int, Watch> m_watches;
    std::multimap<Clock::time_point, std::function<void()>> m_timers;
    int m_signalFd = -1;
    int m_stopSignal = 0;
};

} // namespace routersim
