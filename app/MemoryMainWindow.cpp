#include "app/MemoryMainWindow.h"

#include "app/WindowDesign.h"

#include <algorithm>

MemoryMainWindow::MemoryMainWindow() : m_caption{design::kCaption}, m_height{design::kClientHeight}
{
    for (int i = 0; i < kMainControlCount; ++i) {
        const auto control = static_cast<MainControl>(i);
        m_controls[i].visible = design::startsVisible(control);
        m_controls[i].enabled = design::startsEnabled(control);
    }
    for (const auto& panel : design::kPanels) at(panel.control).top = panel.top;
}

void MemoryMainWindow::setText(MainControl control, std::string_view text)
{
    ControlState& state = at(control);
    if (state.text == text) return; // writing the text a field holds is no change
    state.text = text;
    if (!m_events || !m_shown) return;
    // The field handlers run on every change, whoever makes it; the device entry's do not.
    if (control == MainControl::PasswordComBox) m_events->PasswordComBoxChange();
    if (control == MainControl::UserIDComBox) m_events->UserIDComBoxChange();
}

void MemoryMainWindow::closeWindow()
{
    if (m_closed) return;
    if (m_events && !m_events->FormCloseQuery()) return;
    m_closed = true;
    if (m_events) m_events->FormClose();
    end();
}

void MemoryMainWindow::terminate()
{
    m_terminated = true;
    end();
}

void MemoryMainWindow::release()
{
    m_released = true;
    end();
}

void MemoryMainWindow::end()
{
    if (m_ended) return;
    m_ended = true;
    onProgramEnd();
}

void MemoryMainWindow::addEntryLine(std::string_view line)
{
    const auto at =
        std::upper_bound(m_entryLines.begin(), m_entryLines.end(), line,
                         [](std::string_view a, const std::string& b) { return entryLineBefore(a, b); });
    m_entryLines.emplace(at, line);
}
