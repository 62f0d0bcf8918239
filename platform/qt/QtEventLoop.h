#pragma once
// The window thread's event loop on Qt: a timer is a QTimer, a deferred call a queued invocation, a
// modal wait a nested loop. Needs a QCoreApplication (or QApplication) to exist.
#include "platform/EventLoop.h"

#include <QElapsedTimer>
#include <QObject>
#include <atomic>

namespace fw {

class QtEventLoop final : public EventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;

    std::int64_t nowMs() const override { return m_clock.elapsed(); }
    void sleepMs(int ms) override;

    std::unique_ptr<Timer> createTimer(int intervalMs) override;
    std::unique_ptr<ReadableWatch> watchReadable(int fd, std::function<void()> onReadable) override;
    void post(std::function<void()> fn) override;
    void processPendingEvents() override;
    void WaitMs(int ms, bool dispatch) override;
    void runModal(const std::function<bool()>& finished) override;
    void beginWork() override { ++m_work; }
    void endWork() override;

    // Called on the window thread once the loop has nothing left to do: no timer runs, no work is
    // under way and no call is waiting. The console front end ends the program there.
    void setIdleHandler(std::function<void()> handler);
    bool idle() const { return m_runningTimers == 0 && m_work == 0 && m_posted == 0; }
    int modalDepth() const { return m_modalDepth; }
    // Ends every modal wait; used when the program ends from inside one.
    void abandonModalWaits() { m_abandon = true; }

    class QtTimer;

private:
    void checkIdleSoon();

    QObject m_context; // lives on the window thread; queued calls run in its thread
    QElapsedTimer m_clock;
    int m_runningTimers = 0;
    std::atomic<int> m_work{0};
    std::atomic<int> m_posted{0};
    int m_modalDepth = 0;
    bool m_abandon = false;
    bool m_idleCheckQueued = false;
    std::function<void()> m_idleHandler;
    friend class QtTimer;
};

} // namespace fw
