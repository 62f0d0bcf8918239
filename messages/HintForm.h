#pragma once
// THintForm: one message of the bundle in a small window of its own, with its live time and its
// blinking text; ShowMessageFile decides by the situation and the message's flags whether it shows.
#include "messages/MessageRecord.h"
#include "messages/MessageWindowOps.h"
#include "platform/EventLoop.h"
#include "platform/WindowOps.h"

#include <memory>
#include <string>

// Display modes.
inline constexpr int kMessageMenuMode = 100, kMessageFtpMode = 101, kMessageTftpMode = 102;

class THintForm {
public:
    // Builds the window from a message file's bytes (copied) and starts its timers.
    THintForm(fw::EventLoop& loop, MessageWindows& windows, std::span<const std::byte> bytes);
    ~THintForm();

    // Shows the window and returns once it has closed, by its live time or by the user.
    void ShowModal();
    bool closed() const { return m_closed; }

    void liveTimerTimer();
    void blinkTimerTimer();

    const MessageRecord& message() const { return m_message; }

    // Shared by all message windows; only one exists at a time.
    static std::uint16_t ticksLeft;
    static bool textHidden;

private:
    void loadText();
    void closeWindow();

    fw::EventLoop& m_loop;
    MessageRecord m_message;
    std::unique_ptr<MessageWindowOps> m_window;
    std::unique_ptr<fw::Timer> liveTimer;
    std::unique_ptr<fw::Timer> blinkTimer;
    std::string m_html;
    std::string m_plain;
    bool m_shown = false;
    bool m_closed = false;
};

// Shows the window modally, or writes the refusal lines to the log (which may be absent). The
// attribute word is the message file's; module is the target device's; path the file's.
void ShowMessageFile(THintForm& window, fw::Log* log, std::uint16_t attribute, int mode,
                     const std::string& module, const std::string& path);

// Builds a window from the bytes, applies the rule of the mode and destroys the window again.
void showMessageFile(fw::EventLoop& loop, MessageWindows& windows, std::span<const std::byte> bytes,
                     fw::Log* log, std::uint16_t attribute, int mode, const std::string& module,
                     const std::string& path);

// Rich text to plain text: tags dropped, paragraphs and line breaks kept, entities decoded.
std::string htmlToPlain(std::string_view html);
