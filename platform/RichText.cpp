// platform/RichText.cpp: a one-pass RTF reader and the HTML writer it feeds.
#include "platform/RichText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace fw {
namespace {

// Nesting a real document never reaches; deeper groups are still read, but no longer each saved.
constexpr std::size_t kMaxDepth = 256;
// Digits past this size no longer change a parameter, so any run of digits fits an int.
constexpr int kParameterLimit = 100'000'000;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 3276; // 1638 pt, the largest size word processors offer
constexpr char32_t kReplacement = 0xFFFD;

constexpr std::string_view kParagraph = "<p style=\"margin:0; white-space:pre-wrap\">";
constexpr std::string_view kEmptyParagraph = "<p style=\"-qt-paragraph-type:empty; margin:0\"><br></p>";

// Windows-1252 from 0x80 to 0x9F; the five bytes it leaves undefined read as U+FFFD.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

char32_t fromWindows1252(unsigned byte)
{
    if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
    return byte;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

struct Decoded {
    char32_t codepoint;
    std::size_t length;
};

// The UTF-8 sequence at pos; nullopt when the bytes there are not a complete, shortest-form one.
std::optional<Decoded> decodeUtf8(std::string_view in, std::size_t pos)
{
    const auto lead = static_cast<unsigned char>(in[pos]);
    if (lead < 0x80) return Decoded{lead, 1};
    std::size_t length = 0;
    char32_t codepoint = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, codepoint = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codepoint = lead & 0x0F, smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, codepoint = lead & 0x07, smallest = 0x10000;
    } else {
        return std::nullopt;
    }
    if (in.size() - pos < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(in[pos + i]);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        codepoint = (codepoint << 6) | (next & 0x3F);
    }
    if (codepoint < smallest || codepoint > 0x10FFFF) return std::nullopt;
    if (codepoint >= 0xD800 && codepoint <= 0xDFFF) return std::nullopt;
    return Decoded{codepoint, length};
}

bool isValidUtf8(std::string_view in)
{
    for (std::size_t pos = 0; pos < in.size();) {
        const std::optional<Decoded> decoded = decodeUtf8(in, pos);
        if (!decoded) return false;
        pos += decoded->length;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t codepoint)
{
    if (codepoint < 0x80) {
        out += static_cast<char>(codepoint);
    } else if (codepoint < 0x800) {
        out += static_cast<char>(0xC0 | (codepoint >> 6));
        out += static_cast<char>(0x80 | (codepoint & 0x3F));
    } else if (codepoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codepoint >> 12));
        out += static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codepoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codepoint >> 18));
        out += static_cast<char>(0x80 | ((codepoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codepoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codepoint & 0x3F));
    }
}

// How a run of text looks; the default value is the view's own font.
struct RunFormat {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::optional<std::uint32_t> color; // 0xRRGGBB
    int halfPoints = 0;                 // 0: the view's own size
    bool operator==(const RunFormat&) const = default;
};

std::string styleOf(const RunFormat& format)
{
    std::string style;
    const auto add = [&style](std::string_view part) {
        if (!style.empty()) style += "; ";
        style += part;
    };
    if (format.bold) add("font-weight:bold");
    if (format.italic) add("font-style:italic");
    if (format.underline) add("text-decoration:underline");
    if (format.color) {
        constexpr std::string_view kHex = "0123456789abcdef";
        std::string color = "color:#";
        for (int shift = 20; shift >= 0; shift -= 4) color += kHex[(*format.color >> shift) & 0xF];
        add(color);
    }
    if (format.halfPoints > 0) {
        add("font-size:" + std::to_string(format.halfPoints / 2) + (format.halfPoints % 2 ? ".5" : "") +
            "pt");
    }
    return style;
}

// Writes paragraphs and runs. A paragraph opens only when something goes into it and a run only
// when its text arrives, and each is closed before the next opens, so whatever the reader does the
// tags stay balanced.
class HtmlWriter {
public:
    void character(char32_t codepoint, const RunFormat& format)
    {
        if (codepoint < 0x20 && codepoint != '\t') return;
        if (codepoint >= 0x7F && codepoint < 0xA0) return; // invisible controls
        openParagraph();
        if (!(format == m_run)) {
            closeRun();
            if (!(format == RunFormat{})) {
                m_html += "<span style=\"";
                m_html += styleOf(format);
                m_html += "\">";
            }
            m_run = format;
        }
        switch (codepoint) {
        case '&':
            m_html += "&amp;";
            break;
        case '<':
            m_html += "&lt;";
            break;
        case '>':
            m_html += "&gt;";
            break;
        case '"':
            m_html += "&quot;";
            break;
        case 0xA0:
            m_html += "&nbsp;";
            break;
        default:
            appendUtf8(m_html, codepoint);
        }
    }

    void lineBreak()
    {
        openParagraph();
        m_html += "<br>";
    }

    void endParagraph()
    {
        if (!m_inParagraph) {
            m_html += kEmptyParagraph;
            return;
        }
        closeRun();
        m_html += "</p>";
        m_inParagraph = false;
    }

    std::string finish()
    {
        if (m_inParagraph) endParagraph();
        return std::move(m_html);
    }

private:
    void openParagraph()
    {
        if (m_inParagraph) return;
        m_html += kParagraph;
        m_inParagraph = true;
    }

    void closeRun()
    {
        if (!(m_run == RunFormat{})) m_html += "</span>";
        m_run = RunFormat{};
    }

    std::string m_html;
    bool m_inParagraph = false;
    RunFormat m_run; // the span open now; the default value when none is
};

enum class Word : std::uint8_t {
    Paragraph,
    LineBreak,
    Symbol,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Hidden,
    Color,
    FontSize,
    Plain,
    Unicode,
    UnicodeSkip,
    ColorTable,
    Red,
    Green,
    Blue,
    Binary,
    Destination,
};

struct KnownWord {
    std::string_view name;
    Word word;
    char32_t symbol = 0; // what a Word::Symbol stands for
};

// Sorted by name, for the binary search in findWord(). Destinations are groups that hold no message
// text: tables, document properties, pictures, page furniture, field instructions.
constexpr KnownWord kWords[] = {
    {"annotation", Word::Destination},
    {"author", Word::Destination},
    {"b", Word::Bold},
    {"bin", Word::Binary},
    {"bkmkend", Word::Destination},
    {"bkmkstart", Word::Destination},
    {"blue", Word::Blue},
    {"bullet", Word::Symbol, 0x2022},
    {"buptim", Word::Destination},
    {"category", Word::Destination},
    {"cell", Word::Symbol, '\t'},
    {"cf", Word::Color},
    {"colorschememapping", Word::Destination},
    {"colortbl", Word::ColorTable},
    {"comment", Word::Destination},
    {"company", Word::Destination},
    {"creatim", Word::Destination},
    {"datastore", Word::Destination},
    {"doccomm", Word::Destination},
    {"docvar", Word::Destination},
    {"emdash", Word::Symbol, 0x2014},
    {"emspace", Word::Symbol, 0x2003},
    {"endash", Word::Symbol, 0x2013},
    {"enspace", Word::Symbol, 0x2002},
    {"filetbl", Word::Destination},
    {"fldinst", Word::Destination},
    {"fonttbl", Word::Destination},
    {"footer", Word::Destination},
    {"footerf", Word::Destination},
    {"footerl", Word::Destination},
    {"footerr", Word::Destination},
    {"footnote", Word::Destination},
    {"fs", Word::FontSize},
    {"generator", Word::Destination},
    {"green", Word::Green},
    {"header", Word::Destination},
    {"headerf", Word::Destination},
    {"headerl", Word::Destination},
    {"headerr", Word::Destination},
    {"i", Word::Italic},
    {"info", Word::Destination},
    {"keywords", Word::Destination},
    {"latentstyles", Word::Destination},
    {"ldblquote", Word::Symbol, 0x201C},
    {"line", Word::LineBreak},
    {"listoverridetable", Word::Destination},
    {"listtable", Word::Destination},
    {"lquote", Word::Symbol, 0x2018},
    {"nestcell", Word::Symbol, '\t'},
    {"nestrow", Word::Paragraph},
    {"nonshppict", Word::Destination},
    {"object", Word::Destination},
    {"operator", Word::Destination},
    {"page", Word::Paragraph},
    {"par", Word::Paragraph},
    {"pict", Word::Destination},
    {"plain", Word::Plain},
    {"printim", Word::Destination},
    {"private", Word::Destination},
    {"qmspace", Word::Symbol, 0x2005},
    {"rdblquote", Word::Symbol, 0x201D},
    {"red", Word::Red},
    {"revtbl", Word::Destination},
    {"revtim", Word::Destination},
    {"row", Word::Paragraph},
    {"rquote", Word::Symbol, 0x2019},
    {"rsidtbl", Word::Destination},
    {"sect", Word::Paragraph},
    {"stylesheet", Word::Destination},
    {"subject", Word::Destination},
    {"tab", Word::Symbol, '\t'},
    {"tc", Word::Destination},
    {"template", Word::Destination},
    {"themedata", Word::Destination},
    {"title", Word::Destination},
    {"txe", Word::Destination},
    {"u", Word::Unicode},
    {"uc", Word::UnicodeSkip},
    {"ul", Word::Underline},
    {"uld", Word::Underline},
    {"uldash", Word::Underline},
    {"uldashd", Word::Underline},
    {"uldashdd", Word::Underline},
    {"uldb", Word::Underline},
    {"ulhwave", Word::Underline},
    {"ulldash", Word::Underline},
    {"ulnone", Word::UnderlineNone},
    {"ulth", Word::Underline},
    {"ulthd", Word::Underline},
    {"ulthdash", Word::Underline},
    {"ulthdashd", Word::Underline},
    {"ulthdashdd", Word::Underline},
    {"ulthldash", Word::Underline},
    {"ululdbwave", Word::Underline},
    {"ulw", Word::Underline},
    {"ulwave", Word::Underline},
    {"v", Word::Hidden},
    {"xe", Word::Destination},
    {"xmlnstbl", Word::Destination},
};

constexpr bool byName(const KnownWord& a, const KnownWord& b)
{
    return a.name < b.name;
}
static_assert(std::ranges::is_sorted(kWords, byName));

const KnownWord* findWord(std::string_view name)
{
    const auto* found =
        std::lower_bound(std::begin(kWords), std::end(kWords), KnownWord{name, Word::Symbol}, byName);
    return found != std::end(kWords) && found->name == name ? found : nullptr;
}

// Where the characters of a group go.
enum class Destination : std::uint8_t { Text, ColorTable, Skipped };

// What a group saves on '{' and gets back on '}'.
struct GroupState {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool hidden = false;
    int color = -1;     // index into the colour table; -1 until a \cf
    int halfPoints = 0; // 0: the view's own size
    int unicodeSkip = 1;
    Destination destination = Destination::Text;
};

struct Rgb {
    std::uint8_t red = 0, green = 0, blue = 0;
};

// Reads the RTF in one pass, byte by byte, with no recursion: each byte is looked at a bounded number
// of times, so time and memory grow with the input and nothing deep can overflow the stack.
class RtfReader {
public:
    explicit RtfReader(std::string_view rtf) : m_in{rtf}, m_utf8{isValidUtf8(rtf)} {}

    std::string read()
    {
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                escape();
                break;
            case '\r':
            case '\n':
                break; // line breaks in the source only wrap it
            default:
                m_atGroupStart = false;
                --m_pos;
                textByte();
            }
        }
        flushSurrogate();
        return m_out.finish();
    }

private:
    void openGroup()
    {
        if (m_saved.size() < kMaxDepth) {
            m_saved.push_back(m_state);
        } else {
            if (m_excessDepth == 0) m_excessBase = m_state;
            ++m_excessDepth;
        }
        m_pendingSkip = 0;
        m_atGroupStart = true;
    }

    // Groups past kMaxDepth share one state: what they change holds until the reader is back at a
    // depth it keeps, where the state saved there returns. Text they hide stays hidden till then.
    void closeGroup()
    {
        const Destination leaving = m_state.destination;
        if (m_excessDepth > 0) {
            if (--m_excessDepth == 0) m_state = m_excessBase;
        } else if (!m_saved.empty()) {
            m_state = m_saved.back();
            m_saved.pop_back();
        } // else a '}' with no group open, ignored
        if (leaving == Destination::ColorTable && m_state.destination != Destination::ColorTable &&
            m_entryHasColor) {
            endColorEntry(); // a last entry without its ';'
        }
        m_pendingSkip = 0;
        m_atGroupStart = false;
    }

    void textByte()
    {
        const auto byte = static_cast<unsigned char>(m_in[m_pos]);
        if (byte < 0x80) {
            ++m_pos;
            character(byte);
        } else if (!m_utf8) {
            ++m_pos;
            character(fromWindows1252(byte));
        } else if (const std::optional<Decoded> decoded = decodeUtf8(m_in, m_pos)) {
            m_pos += decoded->length;
            character(decoded->codepoint);
        } else {
            ++m_pos; // the tail of a sequence whose head \bin or a control symbol took
        }
    }

    // After a backslash.
    void escape()
    {
        if (m_pos >= m_in.size()) return;
        const char c = m_in[m_pos];
        if (isLetter(c)) {
            controlWord();
            return;
        }
        ++m_pos;
        const bool atGroupStart = std::exchange(m_atGroupStart, false);
        switch (c) {
        case '\'':
            hexByte();
            break;
        case '*':
            if (atGroupStart) m_state.destination = Destination::Skipped; // an optional destination
            break;
        case '\\':
        case '{':
        case '}':
            character(static_cast<unsigned char>(c));
            break;
        case '~':
            character(0xA0);
            break;
        case '-':
            character(0xAD);
            break; // optional hyphen
        case '_':
            character(0x2011);
            break; // non-breaking hyphen
        case '\r':
        case '\n': // a backslash ending a source line is a \par
            if (!consumeFallback()) paragraph();
            break;
        default:
            consumeFallback(); // a control symbol with nothing to show
        }
    }

    void controlWord()
    {
        const std::size_t start = m_pos;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos])) ++m_pos;
        const std::string_view name = m_in.substr(start, m_pos - start);
        const std::optional<int> parameter = readParameter();
        if (m_pos < m_in.size() && m_in[m_pos] == ' ') ++m_pos; // the delimiter belongs to the word
        const bool atGroupStart = std::exchange(m_atGroupStart, false);
        const KnownWord* known = findWord(name);
        if (known && known->word == Word::Binary) {
            const std::size_t length = parameter && *parameter > 0 ? static_cast<std::size_t>(*parameter) : 0;
            m_pos += std::min(length, m_in.size() - m_pos);
            consumeFallback();
            return;
        }
        if (consumeFallback() || !known) return;
        apply(*known, parameter, atGroupStart);
    }

    std::optional<int> readParameter()
    {
        bool negative = false;
        if (m_pos + 1 < m_in.size() && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1])) {
            negative = true;
            ++m_pos;
        }
        if (m_pos >= m_in.size() || !isDigit(m_in[m_pos])) return std::nullopt;
        int value = 0;
        for (; m_pos < m_in.size() && isDigit(m_in[m_pos]); ++m_pos) {
            if (value < kParameterLimit) value = value * 10 + (m_in[m_pos] - '0');
        }
        return negative ? -value : value;
    }

    void apply(const KnownWord& known, std::optional<int> parameter, bool atGroupStart)
    {
        const bool on = !parameter || *parameter != 0;
        switch (known.word) {
        case Word::Paragraph:
            paragraph();
            break;
        case Word::LineBreak:
            if (showing()) {
                flushSurrogate();
                m_out.lineBreak();
            }
            break;
        case Word::Symbol:
            character(known.symbol);
            break;
        case Word::Bold:
            m_state.bold = on;
            break;
        case Word::Italic:
            m_state.italic = on;
            break;
        case Word::Underline:
            m_state.underline = on;
            break;
        case Word::UnderlineNone:
            m_state.underline = false;
            break;
        case Word::Hidden:
            m_state.hidden = on;
            break;
        case Word::Color:
            m_state.color = std::max(parameter.value_or(0), 0);
            break;
        case Word::FontSize: {
            const int halfPoints = parameter.value_or(kDefaultHalfPoints);
            m_state.halfPoints = halfPoints <= 0 ? 0 : std::min(halfPoints, kMaxHalfPoints);
            break;
        }
        case Word::Plain: {
            const GroupState reset;
            m_state.bold = reset.bold, m_state.italic = reset.italic, m_state.underline = reset.underline;
            m_state.hidden = reset.hidden, m_state.color = reset.color, m_state.halfPoints = reset.halfPoints;
            break;
        }
        case Word::Unicode:
            unicode(parameter);
            break;
        case Word::UnicodeSkip:
            m_state.unicodeSkip = std::max(parameter.value_or(1), 0);
            break;
        case Word::ColorTable:
            if (atGroupStart && m_state.destination == Destination::Text) {
                m_state.destination = Destination::ColorTable;
                m_colors.clear();
                m_entry = Rgb{};
                m_entryHasColor = false;
            }
            break;
        case Word::Red:
            colorComponent(m_entry.red, parameter);
            break;
        case Word::Green:
            colorComponent(m_entry.green, parameter);
            break;
        case Word::Blue:
            colorComponent(m_entry.blue, parameter);
            break;
        case Word::Destination:
            if (atGroupStart) m_state.destination = Destination::Skipped;
            break;
        case Word::Binary:
            break; // stepped over in controlWord()
        }
    }

    // \uN: a signed 16-bit number, so negative values stand for N + 65536; the \ucN characters after
    // it are the fallback for readers without Unicode and are dropped.
    void unicode(std::optional<int> parameter)
    {
        if (!parameter) return;
        int value = *parameter;
        if (value < 0) value += 65536;
        character(value >= 0 && value <= 0x10FFFF ? static_cast<char32_t>(value) : kReplacement);
        m_pendingSkip = m_state.unicodeSkip;
    }

    void colorComponent(std::uint8_t& component, std::optional<int> parameter)
    {
        if (m_state.destination != Destination::ColorTable) return;
        component = static_cast<std::uint8_t>(std::clamp(parameter.value_or(0), 0, 255));
        m_entryHasColor = true;
    }

    // An entry without \red, \green or \blue (usually the first) means the view's own colour.
    void endColorEntry()
    {
        if (m_entryHasColor) {
            m_colors.push_back((std::uint32_t{m_entry.red} << 16) | (std::uint32_t{m_entry.green} << 8) |
                               m_entry.blue);
        } else {
            m_colors.push_back(std::nullopt);
        }
        m_entry = Rgb{};
        m_entryHasColor = false;
    }

    void hexByte()
    {
        int value = 0;
        int digits = 0;
        for (; digits < 2 && m_pos < m_in.size() && hexValue(m_in[m_pos]) >= 0; ++digits, ++m_pos) {
            value = value * 16 + hexValue(m_in[m_pos]);
        }
        if (digits == 2) {
            character(fromWindows1252(static_cast<unsigned>(value)));
        } else {
            consumeFallback(); // a broken escape shows nothing
        }
    }

    // True when the token just read was one of the fallback characters after a \uN.
    bool consumeFallback()
    {
        if (m_pendingSkip == 0) return false;
        --m_pendingSkip;
        return true;
    }

    bool showing() const { return m_state.destination == Destination::Text && !m_state.hidden; }

    void paragraph()
    {
        if (!showing()) return;
        flushSurrogate();
        m_out.endParagraph();
    }

    void character(char32_t codepoint)
    {
        if (consumeFallback()) return;
        if (m_state.destination == Destination::ColorTable) {
            if (codepoint == ';') endColorEntry();
            return;
        }
        if (!showing()) return;
        emit(codepoint);
    }

    // A character outside the Basic Multilingual Plane comes as two \u, a high then a low surrogate.
    void emit(char32_t codepoint)
    {
        if (codepoint >= 0xD800 && codepoint <= 0xDBFF) {
            flushSurrogate();
            m_highSurrogate = codepoint;
            return;
        }
        if (codepoint >= 0xDC00 && codepoint <= 0xDFFF) {
            if (m_highSurrogate == 0) {
                codepoint = kReplacement;
            } else {
                codepoint = 0x10000 + ((m_highSurrogate - 0xD800) << 10) + (codepoint - 0xDC00);
                m_highSurrogate = 0;
            }
        }
        flushSurrogate();
        m_out.character(codepoint, runFormat());
    }

    void flushSurrogate()
    {
        if (m_highSurrogate == 0) return;
        m_highSurrogate = 0;
        m_out.character(kReplacement, runFormat()); // a high surrogate with no low one after it
    }

    RunFormat runFormat() const
    {
        RunFormat format{m_state.bold, m_state.italic, m_state.underline, std::nullopt, m_state.halfPoints};
        if (m_state.color >= 0 && static_cast<std::size_t>(m_state.color) < m_colors.size()) {
            format.color = m_colors[static_cast<std::size_t>(m_state.color)];
        }
        return format;
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
    bool m_utf8;
    GroupState m_state;
    std::vector<GroupState> m_saved;
    std::size_t m_excessDepth = 0; // groups open beyond kMaxDepth
    GroupState m_excessBase;       // the state when the first of them opened
    bool m_atGroupStart = false;   // nothing read yet in the group just opened
    int m_pendingSkip = 0;         // fallback characters still to drop after a \uN
    char32_t m_highSurrogate = 0;
    std::vector<std::optional<std::uint32_t>> m_colors;
    Rgb m_entry;
    bool m_entryHasColor = false;
    HtmlWriter m_out;
};

} // namespace

bool isRtf(std::string_view text)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    return start != std::string_view::npos && text.substr(start).starts_with("{\\rtf");
}

std::string rtfToHtml(std::string_view rtf)
{
    return RtfReader{rtf}.read();
}

std::string plainToHtml(std::string_view text)
{
    const bool utf8 = isValidUtf8(text);
    std::size_t pos = utf8 && text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    HtmlWriter out;
    const RunFormat plain;
    while (pos < text.size()) {
        const auto byte = static_cast<unsigned char>(text[pos]);
        if (byte == '\r' || byte == '\n') {
            out.endParagraph();
            pos += byte == '\r' && pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
        } else if (utf8) {
            const std::optional<Decoded> decoded = decodeUtf8(text, pos); // never nullopt: checked above
            out.character(decoded ? decoded->codepoint : kReplacement, plain);
            pos += decoded ? decoded->length : 1;
        } else {
            out.character(fromWindows1252(byte), plain);
            ++pos;
        }
    }
    return out.finish();
}

} // namespace fw
