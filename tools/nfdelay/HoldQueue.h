// tools/nfdelay/HoldQueue.h: the packets the delayer holds, in arrival order, each with its release time.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>

namespace nfdelay {

using Clock = std::chrono::steady_clock;

// Every packet is held for the same time, so release times rise with arrival and the oldest packet is
// always the next one due: a FIFO suffices, and verdicts go out in the order the packets came.
class HoldQueue {
public:
    explicit HoldQueue(std::chrono::nanoseconds hold) : m_hold{hold} {}

    void hold(std::uint32_t packetId, Clock::time_point arrival)
    {
        m_held.push_back({packetId, arrival + m_hold});
    }

    // When the oldest packet is due; nullopt when nothing is held.
    std::optional<Clock::time_point> nextRelease() const
    {
        if (m_held.empty()) return std::nullopt;
        return m_held.front().release;
    }

    // Takes out every packet due at now and returns the id of the newest of them: the kernel accepts all
    // queued packets up to that id at once. nullopt when none is due.
    std::optional<std::uint32_t> takeDue(Clock::time_point now)
    {
        std::optional<std::uint32_t> last;
        while (!m_held.empty() && m_held.front().release <= now) {
            last = m_held.front().id;
            m_held.pop_front();
        }
        return last;
    }

    // Takes out everything, due or not (on the way out no packet is left without a verdict).
    std::optional<std::uint32_t> takeAll() { return takeDue(Clock::time_point::max()); }

    std::size_t size() const { return m_held.size(); }

private:
    struct Held {
        std::uint32_t id;
        Clock::time_point release;
    };
    std::chrono::nanoseconds m_hold;
    std::deque<Held> m_held;
};

} // namespace nfdelay
