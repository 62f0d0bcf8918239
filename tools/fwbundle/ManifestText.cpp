#include "tools/fwbundle/ManifestText.h"

#include <algorithm>

namespace fwbundle {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool printable(char c)
{
    return c >= 0x20 && c <= 0x7E;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text inside the quotes of a value that starts with one.
Parsed<std::string> unquote(std::string_view quoted, int line)
{
    std::string value;
    for (std::size_t i = 1; i < quoted.size(); ++i) {
        const char c = quoted[i];
        if (c == '"') {
            if (i + 1 != quoted.size()) return ManifestError{line, "nothing may follow the closing quote"};
            return value;
        }
        if (c != '\\') {
            value += c;
        } else if (i + 1 < quoted.size() && (quoted[i + 1] == '"' || quoted[i + 1] == '\\')) {
            value += quoted[++i];
        } else if (i + 3 < quoted.size() && quoted[i + 1] == 'x' && hexDigit(quoted[i + 2]) >= 0 &&
                   hexDigit(quoted[i + 3]) >= 0) {
            const int byte = hexDigit(quoted[i + 2]) * 16 + hexDigit(quoted[i + 3]);
            if (byte == 0) return ManifestError{line, "\\x00: a text cannot hold a zero byte"};
            value += static_cast<char>(byte);
            i += 3;
        } else {
            return ManifestError{line, "a quoted value knows only the escapes \\\" \\\\ and \\xHH"};
        }
    }
    return ManifestError{line, "the quoted value has no closing quote"};
}

} // namespace

const ManifestEntry* ManifestSection::find(std::string_view key) const
{
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const auto& e) { return e.key == key; });
    return found == entries.end() ? nullptr : &*found;
}

Parsed<std::vector<ManifestSection>> parseManifest(std::string_view text)
{
    std::vector<ManifestSection> sections;
    int line = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view raw = text.substr(start, end - start);
        start = end + 1;
        ++line;
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1); // written on Windows
        if (raw.find('\0') != std::string_view::npos)
            return ManifestError{line, "the line holds a zero byte"};
        const std::string_view body = trimmed(raw);
        if (body.empty() || body.front() == '#') continue;

        if (body.front() == '[') {
            const std::string_view name = trimmed(body.substr(1, body.size() - 1 - (body.back() == ']')));
            if (body.back() != ']' || name.empty())
                return ManifestError{line, "a section header reads '[name]'"};
            sections.push_back({line, std::string{name}, {}});
            continue;
        }
        const auto equals = body.find('=');
        if (equals == std::string_view::npos)
            return ManifestError{line, "expected 'key = value', a '[section]' header or a '# comment'"};
        const std::string key{trimmed(body.substr(0, equals))};
        if (key.empty()) return ManifestError{line, "no key before '='"};
        if (sections.empty()) return ManifestError{line, "'" + key + "' comes before any [section]"};
        ManifestSection& section = sections.back();
        if (const ManifestEntry* first = section.find(key))
            return ManifestError{line, "'" + key + "' is given twice in [" + section.name +
                                           "] (first on line " + std::to_string(first->line) + ")"};

        std::string value{trimmed(body.substr(equals + 1))};
        if (!value.empty() && value.front() == '"') {
            auto unquoted = unquote(value, line);
            if (const auto* error = std::get_if<ManifestError>(&unquoted)) return *error;
            value = std::get<std::string>(std::move(unquoted));
        }
        section.entries.push_back({line, key, std::move(value)});
    }
    return sections;
}

std::string quoteValue(std::string_view value)
{
    const bool bare =
        std::all_of(value.begin(), value.end(), printable) &&
        (value.empty() || (value.front() != ' ' && value.back() != ' ' && value.front() != '"'));
    if (bare) return std::string{value};
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (printable(c)) {
            quoted += c;
        } else {
            constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            quoted += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
        }
    }
    return quoted + '"';
}

} // namespace fwbundle
