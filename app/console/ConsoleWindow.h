#pragma once
// The main window without a display: log lines to standard output, statuses and boxes to standard
// error, every box answered with its first button.
#include "app/MemoryMainWindow.h"

#include <functional>
#include <mutex>
#include <ostream>

class ConsoleWindow final : public MemoryMainWindow {
public:
    ConsoleWindow(std::ostream& out, std::ostream& err) : m_out{out}, m_err{err} {}

    void addLine(std::string_view line) override;
    void setStatus(std::string_view text) override;
    void setMaximum(int maximum) override { m_maximum = maximum; }
    void setPosition(int position) override { m_position = position; }
    int maximum() const override { return m_maximum; }
    int position() const override { return m_position; }
    int messageBox(std::string_view text, std::optional<std::string_view> caption,
                   fw::BoxButtons buttons) override;
    int dialog(fw::DialogType type, std::string_view text, fw::DialogButtons buttons) override;

    // Runs when the program is to end: the window closed or the toolkit was asked to end.
    void setOnEnd(std::function<void()> onEnd) { m_onEnd = std::move(onEnd); }
    // A line of the front end's own on standard error, such as "[needs a person]".
    void note(std::string_view line);

private:
    void onProgramEnd() override
    {
        if (m_onEnd) m_onEnd();
    }
    void printBox(std::optional<std::string_view> caption, std::string_view text);

    std::ostream& m_out;
    std::ostream& m_err;
    std::mutex m_mutex; // the HTTP worker writes too
    int m_maximum = 100;
    int m_position = 0;
    std::function<void()> m_onEnd;
};
