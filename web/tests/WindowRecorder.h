#pragma once
// A window for the web access tests: records log lines, status texts, progress and boxes.
#include "platform/WindowOps.h"

#include <mutex>
#include <string>
#include <vector>

namespace webtest {

class WindowRecorder : public fw::WindowOps {
public:
    void addLine(std::string_view line) override { log.emplace_back(line); }
    void setStatus(std::string_view text) override { statuses.emplace_back(text); }
    void setMaximum(int m) override { max = m; }
    void setPosition(int p) override { pos = p; }
    int maximum() const override { return max; }
    int position() const override { return pos; }
    int messageBox(std::string_view text, std::optional<std::string_view> caption, fw::BoxButtons) override
    {
        boxes.push_back(std::string{caption.value_or("")} + "|" + std::string{text});
        return fw::kAnswerOk;
    }
    int dialog(fw::DialogType, std::string_view text, fw::DialogButtons) override
    {
        boxes.push_back("dialog|" + std::string{text});
        return fw::kAnswerOk;
    }
    bool logged(std::string_view line) const
    {
        for (const auto& l : log)
            if (l == line) return true;
        return false;
    }

    std::vector<std::string> log, statuses, boxes;
    int max = 0, pos = 0;
};

} // namespace webtest
