#include "messages/HintForm.h"

#include "bundle/BundleFormat.h"
#include "platform/File.h"
#include "platform/RichText.h"

std::uint16_t THintForm::ticksLeft = 0;
bool THintForm::textHidden = false;

namespace {

constexpr std::uint16_t kLongestLiveTime = 80; // tenths of a second

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

} // namespace

THintForm::THintForm(fw::EventLoop& loop, MessageWindows& windows, std::span<const std::byte> bytes)
    : m_loop{loop}, m_message{readMessageRecord(bytes)}, m_window{windows.create()}
{
    if (m_message.Live_Time > kLongestLiveTime) m_message.Live_Time = kLongestLiveTime;
    textHidden = false;
    ticksLeft = m_message.Live_Time;

    if (fw::isRtf(m_message.text)) {
        m_html = fw::rtfToHtml(m_message.text);
        m_plain = htmlToPlain(m_html);
    } else {
        m_html = fw::plainToHtml(m_message.text);
        m_plain = m_message.text;
    }
    m_window->setCaption(m_message.Msg_Caption);
    m_window->setBackground(m_message.Back_Color);
    loadText();
    m_window->onClosed = [this] { m_closed = true; };

    liveTimer = m_loop.createTimer(100);
    liveTimer->onTick = [this] { liveTimerTimer(); };
    liveTimer->start();
    blinkTimer = m_loop.createTimer(500);
    blinkTimer->onTick = [this] { blinkTimerTimer(); };
    if (m_message.Steady_Text == 0) blinkTimer->start();
}

THintForm::~THintForm()
{
    if (m_window) m_window->onClosed = nullptr;
}

void THintForm::loadText()
{
    m_window->setContent(m_html, m_plain);
}

void THintForm::ShowModal()
{
    m_shown = true;
    m_window->open();
    m_loop.runModal([this] { return m_closed; });
}

void THintForm::closeWindow()
{
    if (m_closed) return;
    m_closed = true;
    m_window->close();
}

void THintForm::liveTimerTimer()
{
    const std::uint16_t value = ticksLeft;
    --ticksLeft;
    if (value == 0 && m_message.Live_Time != 0) {
        liveTimer->stop();
        blinkTimer->stop();
        closeWindow();
    } else if (m_message.Live_Time == 0) {
        // Stays until the user closes it, with its text showing.
        liveTimer->stop();
        blinkTimer->stop();
    }
}

void THintForm::blinkTimerTimer()
{
    if (textHidden) {
        loadText();
        textHidden = false;
    } else {
        m_window->setContent("", "");
        textHidden = true;
    }
}

void ShowMessageFile(THintForm& window, fw::Log* log, std::uint16_t attribute, int mode,
                     const std::string& module, const std::string& path)
{
    const MessageRecord& m = window.message();
    const auto refuse = [&](const std::string& first) {
        if (!log) return;
        log->addLine(first + path);
        log->addLine("Message Attribute > " + std::to_string(static_cast<std::int16_t>(attribute)));
    };
    if (mode == kMessageMenuMode) {
        if (!m.Msg_FTP_Check || !m.Msg_TFTP_Check) return;
        if (attribute & Attribute::Default_Check) {
            window.ShowModal();
        } else if ((attribute & Attribute::RomID_Check) && m.Msg_Name.size() > 4 &&
                   m.Msg_Name.starts_with("VELT")) {
            window.ShowModal();
        }
        return;
    }
    const bool tftp = mode == kMessageTftpMode;
    if (tftp ? m.Msg_FTP_Check : m.Msg_TFTP_Check) {
        refuse(tftp ? "Unknow Message File in TFTP Mode >>" : "Unknow Message File in FTP Mode >>");
        return;
    }
    if (attribute & Attribute::Default_Check) {
        window.ShowModal();
    } else if (attribute & Attribute::RomID_Check) {
        if (upper(fw::fileNamePart(path)).starts_with(upper(module))) {
            window.ShowModal();
        } else {
            refuse("Message name different. Ignore Message File >>");
        }
    }
}

void showMessageFile(fw::EventLoop& loop, MessageWindows& windows, std::span<const std::byte> bytes,
                     fw::Log* log, std::uint16_t attribute, int mode, const std::string& module,
                     const std::string& path)
{
    THintForm window{loop, windows, bytes};
    ShowMessageFile(window, log, attribute, mode, module, path);
}

std::string htmlToPlain(std::string_view html)
{
    std::string out;
    for (std::size_t i = 0; i < html.size(); ++i) {
        const char c = html[i];
        if (c == '<') {
            const std::size_t end = html.find('>', i);
            if (end == std::string_view::npos) break;
            const std::string_view tag = html.substr(i + 1, end - i - 1);
            if ((tag.starts_with("br") || tag == "/p") && !out.empty()) out += '\n';
            i = end;
        } else if (c == '&') {
            static constexpr std::pair<std::string_view, char> kEntities[] = {
                {"&amp;", '&'},  {"&lt;", '<'},   {"&gt;", '>'},
                {"&quot;", '"'}, {"&nbsp;", ' '}, {"&#39;", '\''}};
            bool decoded = false;
            for (const auto& [entity, character] : kEntities) {
                if (html.substr(i).starts_with(entity)) {
                    out += character;
                    i += entity.size() - 1;
                    decoded = true;
                    break;
                }
            }
            if (!decoded) out += c;
        } else {
            out += c;
        }
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}
