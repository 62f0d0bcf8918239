#pragma once
// The message window as the logic drives it: caption, background, the text area's content, opening
// and closing; and the factory through which each message gets a window of its own.
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

class MessageWindowOps {
public:
    virtual ~MessageWindowOps() = default;
    virtual void setCaption(std::string_view caption) = 0;
    virtual void setBackground(std::uint32_t colorBBGGRR) = 0;
    // The text area's content as rich text and as plain text; both empty clear it.
    virtual void setContent(std::string_view html, std::string_view plainText) = 0;
    // Shows the window; it stays until close() or the user closes it, which calls onClosed.
    virtual void open() = 0;
    virtual void close() = 0;

    std::function<void()> onClosed;
};

class MessageWindows {
public:
    virtual ~MessageWindows() = default;
    virtual std::unique_ptr<MessageWindowOps> create() = 0;
};
