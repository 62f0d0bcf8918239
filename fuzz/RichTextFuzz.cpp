// Fuzz target: any bytes as a message text, read as RTF and as plain text. Whatever the bytes, the
// HTML must keep its one shape (see platform/RichText.h), be valid UTF-8 and stay in proportion to
// the input.
#include "platform/RichText.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kParagraph = "<p style=\"margin:0; white-space:pre-wrap\">";
constexpr std::string_view kEmptyParagraph = "<p style=\"-qt-paragraph-type:empty; margin:0\"><br></p>";
constexpr std::string_view kSpanOpen = "<span style=\"";
// HTML per input byte, well above the worst that can be built (a backslash-newline and one quoted character
// give a paragraph holding a fully formatted run, about 57 bytes a byte); more means output grows
// faster than the input.
constexpr std::size_t kGrowth = 80;
constexpr std::size_t kOverhead = 256; // one paragraph with its run, whatever the size

bool isStyleCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == ':' || c == ';' || c == ' ' ||
           c == '#' || c == '.';
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : (lead & 0xF0) == 0xE0        ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        if (length == 0 || text.size() - pos < length) return false;
        std::uint32_t codepoint = lead & (0x7F >> length);
        for (std::size_t i = 1; i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[pos + i]);
            if ((next & 0xC0) != 0x80) return false;
            codepoint = (codepoint << 6) | (next & 0x3F);
        }
        constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codepoint < kSmallest[length] || codepoint > 0x10FFFF) return false;
        if (codepoint >= 0xD800 && codepoint <= 0xDFFF) return false;
        pos += length;
    }
    return true;
}

// Aborts unless the HTML is paragraphs at the top, runs and <br> only inside them, nothing nested,
// everything closed, and no bare markup character or unknown entity anywhere.
void checkShape(std::string_view html, bool spansAllowed)
{
    bool inParagraph = false;
    bool inSpan = false;
    for (std::size_t pos = 0; pos < html.size();) {
        const std::string_view rest = html.substr(pos);
        if (rest.starts_with(kEmptyParagraph)) {
            if (inParagraph) std::abort();
            pos += kEmptyParagraph.size();
        } else if (rest.starts_with(kParagraph)) {
            if (inParagraph) std::abort();
            inParagraph = true;
            pos += kParagraph.size();
        } else if (rest.starts_with("</p>")) {
            if (!inParagraph || inSpan) std::abort();
            inParagraph = false;
            pos += 4;
        } else if (rest.starts_with(kSpanOpen)) {
            if (!spansAllowed || !inParagraph || inSpan) std::abort();
            std::size_t end = kSpanOpen.size();
            while (end < rest.size() && isStyleCharacter(rest[end])) ++end;
            if (end == kSpanOpen.size() || !rest.substr(end).starts_with("\">")) std::abort();
            inSpan = true;
            pos += end + 2;
        } else if (rest.starts_with("</span>")) {
            if (!inSpan) std::abort();
            inSpan = false;
            pos += 7;
        } else if (rest.starts_with("<br>")) {
            if (!inParagraph) std::abort();
            pos += 4;
        } else {
            if (!inParagraph) std::abort(); // text outside a paragraph
            const char c = rest[0];
            if (c == '<' || c == '>' || c == '"') std::abort();
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') std::abort();
            std::size_t length = 1;
            if (c == '&') {
                length = 0;
                for (std::string_view entity : {"&amp;", "&lt;", "&gt;", "&quot;", "&nbsp;"}) {
                    if (rest.starts_with(entity)) length = entity.size();
                }
                if (length == 0) std::abort();
            }
            pos += length;
        }
    }
    if (inParagraph || inSpan) std::abort();
}

void check(std::string_view html, std::size_t inputSize, bool spansAllowed)
{
    if (html.size() > inputSize * kGrowth + kOverhead) std::abort();
    if (!isValidUtf8(html)) std::abort();
    checkShape(html, spansAllowed);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text{reinterpret_cast<const char*>(data), size};
    const bool rtf = fw::isRtf(text);
    if (rtf && text.find("{\\rtf") == std::string_view::npos) std::abort();
    check(fw::rtfToHtml(text), size, true);
    check(fw::plainToHtml(text), size, false);
    return 0;
}
