#pragma once
// The main window's controls kept in memory: the console front end and the logic tests use it.
// Output (log, status, boxes) is left to the class built on it.
#include "app/MainWindowOps.h"

#include <array>
#include <utility>
#include <vector>

class MemoryMainWindow : public MainWindowOps {
public:
    MemoryMainWindow();

    void bind(MainWindowEvents* events) override { m_events = events; }
    void setCaption(std::string_view caption) override { m_caption = caption; }
    std::string caption() const override { return m_caption; }
    void setEnabled(MainControl control, bool enabled) override { at(control).enabled = enabled; }
    bool enabled(MainControl control) const override { return at(control).enabled; }
    void setVisible(MainControl control, bool visible) override { at(control).visible = visible; }
    bool visible(MainControl control) const override { return at(control).visible; }
    void setLeft(MainControl control, int left) override { at(control).left = left; }
    void setWidth(MainControl control, int width) override { at(control).width = width; }
    void setTop(MainControl control, int top) override { at(control).top = top; }
    int top(MainControl control) const override { return at(control).top; }
    void setWindowHeight(int height) override { m_height = height; }
    int windowHeight() const override { return m_height; }
    std::string text(MainControl control) const override { return at(control).text; }
    void setText(MainControl control, std::string_view text) override;
    void clearEntryLines() override { m_entryLines.clear(); }
    void addEntryLine(std::string_view line) override;
    void setEntryText(std::string_view text) override { setText(MainControl::IPComBox, text); }
    int entryLineCount() const override { return static_cast<int>(m_entryLines.size()); }
    void focusEntry() override { m_focus = MainControl::IPComBox; }
    std::optional<std::vector<std::string>> chooseFiles(std::string_view filter) override
    {
        chooserFilter = filter;
        return std::exchange(nextChosenFiles, std::nullopt); // nothing scripted: the chooser is cancelled
    }
    std::optional<std::vector<std::string>> nextChosenFiles;
    std::string chooserFilter;
    void closeWindow() override;
    void terminate() override;
    void release() override;

    // From here on the field handlers run when a field's text changes.
    void markShown() { m_shown = true; }
    int left(MainControl control) const { return at(control).left; }
    int width(MainControl control) const { return at(control).width; }
    const std::vector<std::string>& entryLines() const { return m_entryLines; }
    bool closed() const { return m_closed; }
    bool terminated() const { return m_terminated; }
    bool released() const { return m_released; }

protected:
    MainWindowEvents* events() const { return m_events; }
    // Called once when the program is to end: the window closed, or the toolkit was asked to end.
    virtual void onProgramEnd() {}

private:
    struct ControlState {
        std::string text;
        bool enabled = true;
        bool visible = true;
        int left = 0, width = 0, top = 0;
    };
    ControlState& at(MainControl control) { return m_controls[static_cast<int>(control)]; }
    const ControlState& at(MainControl control) const { return m_controls[static_cast<int>(control)]; }
    void end();

    std::array<ControlState, kMainControlCount> m_controls;
    std::vector<std::string> m_entryLines;
    std::string m_caption;
    int m_height;
    MainControl m_focus = MainControl::IPComBox;
    MainWindowEvents* m_events = nullptr;
    bool m_shown = false, m_closed = false, m_terminated = false, m_released = false, m_ended = false;
};
