#pragma once
// The event loop of the window thread: timers, deferred calls, handling pending events, the timed
// waits and the nested modal wait. The Qt loop runs on real time, the test loop on virtual time.
#include <cstdint>
#include <functional>
#include <memory>

namespace fw {

// The millisecond clock and a plain sleep, which handles no events.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
    virtual void sleepMs(int ms) = 0;
};

// Watches a file descriptor for the loop: onReadable runs on the window thread while data waits.
class ReadableWatch {
public:
    virtual ~ReadableWatch() = default;
};

// A repeating timer of the window thread. start() (re)starts counting a full interval; a tick may
// stop, restart or destroy its own timer.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setInterval(int ms) = 0;
    virtual int interval() const = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;

    std::function<void()> onTick;
};

class EventLoop : public Clock {
public:
    virtual std::unique_ptr<Timer> createTimer(int intervalMs) = 0;

    // Calls onReadable on the window thread whenever fd has data waiting, until the watch is dropped.
    virtual std::unique_ptr<ReadableWatch> watchReadable(int fd, std::function<void()> onReadable) = 0;

    // Runs fn on the window thread once the events already waiting are handled. Safe from any thread.
    virtual void post(std::function<void()> fn) = 0;

    // Handles the events that are waiting now, then returns.
    virtual void processPendingEvents() = 0;

    // Waits until more than ms milliseconds have passed; with dispatch set, window events and timers
    // are handled meanwhile, otherwise nothing is (the caller's window does not respond).
    virtual void WaitMs(int ms, bool dispatch) = 0;

    // A nested modal wait: handles events until finished() holds.
    virtual void runModal(const std::function<bool()>& finished) = 0;

    // Work under way that no timer shows: a worker thread, a blocking transfer. While any is under way
    // the program is not idle, so the console front end does not end it.
    virtual void beginWork() = 0;
    virtual void endWork() = 0;
};

// Holds the loop's work count up for its lifetime.
class WorkUnderWay {
public:
    explicit WorkUnderWay(EventLoop& loop) : m_loop{loop} { m_loop.beginWork(); }
    ~WorkUnderWay() { m_loop.endWork(); }
    WorkUnderWay(const WorkUnderWay&) = delete;
    WorkUnderWay& operator=(const WorkUnderWay&) = delete;

private:
    EventLoop& m_loop;
};

} // namespace fw
