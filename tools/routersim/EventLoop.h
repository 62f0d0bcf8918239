// tools/routersim/EventLoop.h: a poll loop over the services' descriptors that SIGTERM or SIGINT ends.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace routersim {

class EventLoop {
public:
    EventLoop() = default;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;
    ~EventLoop();

    // Takes SIGTERM and SIGINT as events from here on; call before the sockets are made, so a signal
    // that comes while starting up still ends the loop. Returns the error text, empty on success.
    std::string catchStopSignals();
    void watch(int fd, std::function<void()> onReadable);
    // Returns when a stop signal came (empty text) or polling failed (the error text).
    std::string run();
    int stopSignal() const { return m_stopSignal; }

private:
    struct Watch {
        int fd;
        std::function<void()> onReadable;
    };
    std::vector<Watch> m_watches;
    int m_signalFd = -1;
    int m_stopSignal = 0;
};

} // namespace routersim
