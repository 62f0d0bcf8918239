#pragma once
// The message window on Qt: 500 x 300, centred on the screen, a read-only rich-text view that fills
// it, with word wrap, scroll bars and the message's background colour. Closable at any time.
#include "messages/MessageWindowOps.h"

#include <QDialog>
#include <functional>

class QTextEdit;

class MessageWindowQt final : public QDialog, public MessageWindowOps {
public:
    explicit MessageWindowQt(std::function<void(MessageWindowQt&)> onOpened = {});

    void setCaption(std::string_view caption) override;
    void setBackground(std::uint32_t colorBBGGRR) override;
    void setContent(std::string_view html, std::string_view plainText) override;
    void open() override;
    void close() override;

    QTextEdit* textArea() const { return m_text; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QTextEdit* m_text;
    std::function<void(MessageWindowQt&)> m_onOpened;
    bool m_closing = false;
};

class QtMessageWindows final : public MessageWindows {
public:
    std::unique_ptr<MessageWindowOps> create() override
    {
        return std::make_unique<MessageWindowQt>(onOpened);
    }
    // Tests look at each window once it is on screen.
    std::function<void(MessageWindowQt&)> onOpened;
};
