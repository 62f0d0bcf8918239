#include "messages/qt/MessageWindowQt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MessageWindowQt::MessageWindowQt(std::function<void(MessageWindowQt&)> onOpened)
    : m_onOpened{std::move(onOpened)}
{
    setObjectName("HintForm");
    setModal(true);
    resize(500, 300);
    m_text = new QTextEdit{this};
    m_text->setObjectName("RichEdit1");
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QTextEdit::WidgetWidth);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* layout = new QVBoxLayout{this};
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
}

void MessageWindowQt::setCaption(std::string_view caption)
{
    setWindowTitle(toQString(caption));
}

void MessageWindowQt::setBackground(std::uint32_t color)
{
    // 0x00BBGGRR: red in the low byte.
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::Base,
                     QColor{static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                            static_cast<int>((color >> 16) & 0xFF)});
    m_text->setPalette(palette);
}

void MessageWindowQt::setContent(std::string_view html, std::string_view)
{
    m_text->setHtml(toQString(html));
}

void MessageWindowQt::open()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
    if (m_onOpened) m_onOpened(*this);
}

void MessageWindowQt::close()
{
    m_closing = true;
    hide();
}

void MessageWindowQt::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!m_closing && onClosed) onClosed(); // the user closed it
}
