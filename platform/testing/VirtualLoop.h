#pragma once
// An event loop on virtual time for logic tests: a 40-second watchdog run costs microseconds.
#include "platform/EventLoop.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace fw {

// Thrown by a modal wait that nothing could ever end, so the test fails instead of hanging.
struct ModalWaitNeverEnds : std::runtime_error {
    ModalWaitNeverEnds() : std::runtime_error{"a modal wait has no timer or posted call that could end it"} {}
};

class VirtualLoop final : public EventLoop {
public:
    VirtualLoop();
    ~VirtualLoop() override;

    std::int64_t nowMs() const override { return m_now; }
    void sleepMs(int ms) override { m_now += ms; } // a plain sleep dispatches nothing

    std::unique_ptr<Timer> createTimer(int intervalMs) override;
    // Real descriptors are polled, without waiting, whenever the loop handles events.
    std::unique_ptr<ReadableWatch> watchReadable(int fd, std::function<void()> onReadable) override;
    // From any thread, as a worker posts its window operations.
    void post(std::function<void()> fn) override
    {
        std::lock_guard lock{m_postedMutex};
        m_posted.push_back(std::move(fn));
    }
    void processPendingEvents() override;
    void WaitMs(int ms, bool dispatch) override;
    void runModal(const std::function<bool()>& finished) override;
    void beginWork() override { ++m_work; }
    void endWork() override { --m_work; }

    // Fires every timer due within d, in order of due time, as a running loop would.
    void advanceBy(std::chrono::milliseconds d);
    void advanceBy(std::int64_t ms) { advanceBy(std::chrono::milliseconds{ms}); }
    int runningTimers() const;
    int workUnderWay() const { return m_work; }
    int modalDepth() const { return m_modalDepth; }

    class VirtualTimer;

private:
    void runPosted();
    void pollWatches();
    bool fireNextDue(std::int64_t limit);

    std::int64_t m_now = 0;
    std::uint64_t m_sequence = 0;
    std::vector<VirtualTimer*> m_timers;
    struct Watch {
        int fd;
        std::function<void()> onReadable;
        bool alive = true;
    };
    std::vector<std::shared_ptr<Watch>> m_watches;
    std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
    std::atomic<int> m_work{0};
    int m_modalDepth = 0;
    friend class VirtualTimer;
};

} // namespace fw
