#include "app/console/ConsoleMessageWindows.h"

#include <string>

namespace {

class ConsoleMessageWindow final : public MessageWindowOps {
public:
    explicit ConsoleMessageWindow(ConsoleWindow& console) : m_console{console} {}
    void setCaption(std::string_view caption) override { m_caption = caption; }
    void setBackground(std::uint32_t) override {}
    void setContent(std::string_view, std::string_view plainText) override
    {
        if (!plainText.empty()) m_text = plainText; // a blink's empty text is not the message
    }
    void open() override
    {
        m_console.note("[message] " + fw::oneLine(m_caption) + ": " + fw::oneLine(m_text));
        if (onClosed) onClosed(); // nobody reads it: it closes at once
    }
    void close() override {}

private:
    ConsoleWindow& m_console;
    std::string m_caption;
    std::string m_text;
};

} // namespace

std::unique_ptr<MessageWindowOps> ConsoleMessageWindows::create()
{
    return std::make_unique<ConsoleMessageWindow>(m_console);
}
