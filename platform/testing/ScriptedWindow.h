#pragma once
// A window for logic tests: records every log line, status, progress step and box, and answers boxes
// as the test says (by default with their first button, as a person who accepts them would).
#include "platform/WindowOps.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace fw {

struct ShownBox {
    std::string text;
    std::optional<std::string> caption; // nullopt: no caption given
    std::optional<BoxButtons> buttons;  // set for message boxes
    std::optional<DialogType> dialog;   // set for warning and error dialogs
    std::optional<DialogButtons> dialogButtons;
    bool operator==(const ShownBox&) const = default;
};

// Base is WindowOps or an interface derived from it, such as a window's own control operations.
template <typename Base>
class ScriptedWindowOps : public Base {
public:
    void addLine(std::string_view line) override { log.emplace_back(line); }
    void setStatus(std::string_view text) override { statuses.emplace_back(text); }
    void setMaximum(int maximum) override { m_maximum = maximum; }
    void setPosition(int position) override { m_position = position; }
    int maximum() const override { return m_maximum; }
    int position() const override { return m_position; }

    int messageBox(std::string_view text, std::optional<std::string_view> caption,
                   BoxButtons buttons) override
    {
        ShownBox box{std::string{text}, std::nullopt, buttons, std::nullopt, std::nullopt};
        if (caption) box.caption = std::string{*caption};
        boxes.push_back(box);
        return answer(firstButton(buttons));
    }
    int dialog(DialogType type, std::string_view text, DialogButtons buttons) override
    {
        boxes.push_back({std::string{text}, std::nullopt, std::nullopt, type, buttons});
        return answer(firstButton(buttons));
    }

    // Answers for the next boxes, in order; after them, each box gets its first button.
    void answerNextBoxesWith(std::initializer_list<int> answers)
    {
        m_answers.insert(m_answers.end(), answers);
    }
    std::string status() const { return statuses.empty() ? std::string{} : statuses.back(); }

    std::vector<std::string> log;
    std::vector<std::string> statuses;
    std::vector<ShownBox> boxes;

private:
    int answer(int fallback)
    {
        if (m_answers.empty()) return fallback;
        const int next = m_answers.front();
        m_answers.pop_front();
        return next;
    }
    int m_maximum = 100;
    int m_position = 0;
    std::deque<int> m_answers;
};

using ScriptedWindow = ScriptedWindowOps<WindowOps>;

// A box as the tests spell it.
inline ShownBox messageBoxOf(std::string text, std::optional<std::string> caption, BoxButtons buttons)
{
    return {std::move(text), std::move(caption), buttons, std::nullopt, std::nullopt};
}
inline ShownBox dialogOf(DialogType type, std::string text, DialogButtons buttons)
{
    return {std::move(text), std::nullopt, std::nullopt, type, buttons};
}

} // namespace fw
