#pragma once
// Message windows for logic tests: each records what it showed and when, on the loop's clock.
#include "messages/MessageWindowOps.h"
#include "platform/EventLoop.h"

#include <deque>
#include <string>
#include <vector>

struct MessageWindowRecord {
    std::string caption;
    std::uint32_t background = 0;
    std::vector<std::pair<std::int64_t, std::string>> contents; // (time, plain text); "" when cleared
    std::int64_t openedAt = -1;
    std::int64_t closedAt = -1;
};

class ScriptedMessageWindows final : public MessageWindows {
public:
    explicit ScriptedMessageWindows(const fw::Clock& clock) : m_clock{clock} {}

    class Window final : public MessageWindowOps {
    public:
        Window(const fw::Clock& clock, MessageWindowRecord& record, bool closeAtOnce)
            : m_clock{clock}, m_record{record}, m_closeAtOnce{closeAtOnce}
        {
        }
        void setCaption(std::string_view caption) override { m_record.caption = caption; }
        void setBackground(std::uint32_t color) override { m_record.background = color; }
        void setContent(std::string_view, std::string_view plain) override
        {
            m_record.contents.emplace_back(m_clock.nowMs(), std::string{plain});
        }
        void open() override
        {
            m_record.openedAt = m_clock.nowMs();
            if (m_closeAtOnce && onClosed) {
                m_record.closedAt = m_clock.nowMs();
                onClosed(); // the user closes it at once
            }
        }
        void close() override { m_record.closedAt = m_clock.nowMs(); }

    private:
        const fw::Clock& m_clock;
        MessageWindowRecord& m_record;
        bool m_closeAtOnce;
    };

    std::unique_ptr<MessageWindowOps> create() override
    {
        records.emplace_back();
        return std::make_unique<Window>(m_clock, records.back(), userClosesAtOnce);
    }

    std::deque<MessageWindowRecord> records; // one per window built; a deque keeps references valid
    bool userClosesAtOnce = false;

private:
    const fw::Clock& m_clock;
};
