#include "platform/testing/VirtualLoop.h"

#include <algorithm>
#include <poll.h>

namespace fw {

class VirtualLoop::VirtualTimer final : public Timer {
public:
    VirtualTimer(VirtualLoop& loop, int interval) : m_loop{&loop}, m_interval{interval}
    {
        loop.m_timers.push_back(this);
    }
    ~VirtualTimer() override
    {
        if (!m_loop) return;
        auto& timers = m_loop->m_timers;
        timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
    }
    void setInterval(int ms) override
    {
        m_interval = ms;
        if (m_running) schedule();
    }
    int interval() const override { return m_interval; }
    void start() override
    {
        m_running = true;
        schedule();
    }
    void stop() override { m_running = false; }
    bool running() const override { return m_running; }

    void schedule()
    {
        if (!m_loop) return;
        m_due = m_loop->m_now + std::max(m_interval, 1);
        m_order = ++m_loop->m_sequence;
    }

    VirtualLoop* m_loop;
    int m_interval;
    bool m_running = false;
    std::int64_t m_due = 0;
    std::uint64_t m_order = 0; // timers due at the same moment fire in the order they were armed
};

VirtualLoop::VirtualLoop() = default;

VirtualLoop::~VirtualLoop()
{
    for (VirtualTimer* timer : m_timers) timer->m_loop = nullptr;
}

std::unique_ptr<Timer> VirtualLoop::createTimer(int intervalMs)
{
    return std::make_unique<VirtualTimer>(*this, intervalMs);
}

int VirtualLoop::runningTimers() const
{
    return static_cast<int>(
        std::count_if(m_timers.begin(), m_timers.end(), [](const VirtualTimer* t) { return t->m_running; }));
}

std::unique_ptr<ReadableWatch> VirtualLoop::watchReadable(int fd, std::function<void()> onReadable)
{
    struct Handle final : ReadableWatch {
        std::shared_ptr<Watch> watch;
        ~Handle() override { watch->alive = false; }
    };
    auto watch = std::make_shared<Watch>(Watch{fd, std::move(onReadable)});
    m_watches.push_back(watch);
    auto handle = std::make_unique<Handle>();
    handle->watch = watch;
    return handle;
}

void VirtualLoop::pollWatches()
{
    std::erase_if(m_watches, [](const auto& w) { return !w->alive; });
    const auto watches = m_watches; // a handler may add or drop watches
    for (const auto& watch : watches) {
        pollfd fd{watch->fd, POLLIN, 0};
        // Bounded, so a handler that leaves its data waiting cannot hang a test.
        for (int i = 0; i < 1000 && watch->alive && ::poll(&fd, 1, 0) == 1 && (fd.revents & POLLIN); ++i)
            watch->onReadable();
    }
}

void VirtualLoop::runPosted()
{
    pollWatches();
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock{m_postedMutex};
            if (m_posted.empty()) return;
            fn = std::move(m_posted.front());
            m_posted.pop_front();
        }
        fn();
    }
}

bool VirtualLoop::fireNextDue(std::int64_t limit)
{
    VirtualTimer* next = nullptr;
    for (VirtualTimer* timer : m_timers) {
        if (!timer->m_running || timer->m_due > limit) continue;
        if (!next || timer->m_due < next->m_due ||
            (timer->m_due == next->m_due && timer->m_order < next->m_order))
            next = timer;
    }
    if (!next) return false;
    m_now = std::max(m_now, next->m_due);
    next->schedule(); // the next tick counts from this one; the handler may stop or restart it
    if (next->onTick) {
        auto tick = next->onTick; // the handler may destroy its own timer
        tick();
    }
    return true;
}

void VirtualLoop::processPendingEvents()
{
    runPosted();
    while (fireNextDue(m_now)) runPosted();
}

void VirtualLoop::advanceBy(std::chrono::milliseconds d)
{
    const std::int64_t target = m_now + d.count();
    runPosted();
    while (fireNextDue(target)) runPosted();
    m_now = std::max(m_now, target);
}

void VirtualLoop::WaitMs(int ms, bool dispatch)
{
    // "More than ms milliseconds": the wait ends one millisecond past the mark.
    if (dispatch) {
        advanceBy(ms + 1);
    } else {
        m_now += ms + 1;
    }
}

void VirtualLoop::runModal(const std::function<bool()>& finished)
{
    ++m_modalDepth;
    struct Depth {
        int& depth;
        ~Depth() { --depth; }
    } depth{m_modalDepth};
    runPosted();
    while (!finished()) {
        bool posted = false;
        {
            std::lock_guard lock{m_postedMutex};
            posted = !m_posted.empty();
        }
        if (posted) {
            runPosted();
            continue;
        }
        if (runningTimers() == 0) throw ModalWaitNeverEnds{};
        fireNextDue(INT64_MAX);
        runPosted();
    }
}

} // namespace fw
