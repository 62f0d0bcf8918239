#include "app/console/ConsoleWindow.h"

void ConsoleWindow::addLine(std::string_view line)
{
    std::lock_guard lock{m_mutex};
    m_out << line << '\n' << std::flush;
}

void ConsoleWindow::setStatus(std::string_view text)
{
    std::lock_guard lock{m_mutex};
    m_err << "[status] " << text << '\n' << std::flush;
}

void ConsoleWindow::printBox(std::optional<std::string_view> caption, std::string_view text)
{
    std::lock_guard lock{m_mutex};
    m_err << "[box] ";
    if (caption) m_err << fw::oneLine(*caption) << ": ";
    m_err << fw::oneLine(text) << '\n' << std::flush;
}

int ConsoleWindow::messageBox(std::string_view text, std::optional<std::string_view> caption,
                              fw::BoxButtons buttons)
{
    printBox(caption, text);
    return fw::firstButton(buttons);
}

int ConsoleWindow::dialog(fw::DialogType, std::string_view text, fw::DialogButtons buttons)
{
    printBox(std::nullopt, text);
    return fw::firstButton(buttons);
}

void ConsoleWindow::note(std::string_view line)
{
    std::lock_guard lock{m_mutex};
    m_err << line << '\n' << std::flush;
}
