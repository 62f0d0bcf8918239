#pragma once
// Message windows without a display: each prints "[message] CAPTION: TEXT" and closes by itself.
#include "app/console/ConsoleWindow.h"
#include "messages/MessageWindowOps.h"

class ConsoleMessageWindows final : public MessageWindows {
public:
    explicit ConsoleMessageWindows(ConsoleWindow& console) : m_console{console} {}
    std::unique_ptr<MessageWindowOps> create() override;

private:
    ConsoleWindow& m_console;
};
