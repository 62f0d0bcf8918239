#include "platform/WindowOps.h"

namespace fw {

int firstButton(BoxButtons buttons)
{
    return buttons == BoxButtons::YesNoCancel ? kAnswerYes : kAnswerOk;
}

int firstButton(DialogButtons buttons)
{
    switch (buttons) {
    case DialogButtons::Ok:
    case DialogButtons::OkCancel:
        return kAnswerOk;
    case DialogButtons::Yes:
    case DialogButtons::YesNo:
    case DialogButtons::YesNoCancel:
        return kAnswerYes;
    }
    return kAnswerOk;
}

std::string oneLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue; // \r\n is one break
        if (c == '\n' || c == '\r') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace fw
