#include "tools/fwbundle/ManifestValues.h"

#include "bundle/BundleFormat.h"

#include <algorithm>
#include <charconv>

namespace fwbundle {

ManifestError errorAt(const ManifestEntry& entry, const std::string& text)
{
    return {entry.line, entry.key + ": " + text};
}

std::optional<ManifestError> unknownKey(const ManifestSection& section,
                                        std::span<const std::string_view> known)
{
    for (const ManifestEntry& entry : section.entries) {
        if (std::find(known.begin(), known.end(), entry.key) == known.end())
            return ManifestError{entry.line, "unknown key '" + entry.key + "' in [" + section.name + "]"};
    }
    return std::nullopt;
}

Parsed<int> parseNumber(const ManifestEntry& entry, int low, int high, std::string_view what)
{
    const std::string& text = entry.value;
    int value = 0;
    const auto [end, failure] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || failure != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high)
        return errorAt(entry, "expected " + std::string{what} + " from " + std::to_string(low) + " to " +
                                  std::to_string(high) + ", not '" + text + "'");
    return value;
}

std::string choicesOf(std::span<const ManifestWord> words)
{
    std::string text;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? " or " : ", ";
        text += words[i].word;
    }
    return text;
}

Parsed<unsigned> parseChoice(const ManifestEntry& entry, std::span<const ManifestWord> words)
{
    for (const ManifestWord& word : words) {
        if (entry.value == word.word) return word.bits;
    }
    return errorAt(entry, "expected " + choicesOf(words) + ", not '" + entry.value + "'");
}

Parsed<unsigned> parseWordSet(const ManifestEntry& entry, std::span<const ManifestWord> words,
                              bool noneAllowed)
{
    const std::string expected = "expected some of " + choicesOf(words) + " separated by blanks, or all" +
                                 (noneAllowed ? " or none" : "");
    unsigned bits = 0;
    if (entry.value == "all") {
        for (const ManifestWord& word : words) bits |= word.bits;
        return bits;
    }
    if (noneAllowed && entry.value == "none") return bits;

    std::vector<std::string_view> seen;
    const std::string_view text = entry.value;
    for (std::size_t at = text.find_first_not_of(" \t"); at != std::string_view::npos;
         at = text.find_first_not_of(" \t", at)) {
        const std::size_t end = std::min(text.find_first_of(" \t", at), text.size());
        const std::string_view name = text.substr(at, end - at);
        at = end;
        const auto word =
            std::find_if(words.begin(), words.end(), [&](const auto& w) { return w.word == name; });
        if (word == words.end())
            return errorAt(entry, expected + "; '" + std::string{name} + "' is not one of them");
        if (std::find(seen.begin(), seen.end(), name) != seen.end())
            return errorAt(entry, "'" + std::string{name} + "' is named twice");
        seen.push_back(name);
        bits |= word->bits;
    }
    if (seen.empty()) return errorAt(entry, expected);
    return bits;
}

std::string_view wordFor(unsigned bits, std::span<const ManifestWord> words)
{
    for (const ManifestWord& word : words) {
        if (word.bits == bits) return word.word;
    }
    return {};
}

std::string wordsFor(unsigned bits, std::span<const ManifestWord> words)
{
    std::string text;
    for (const ManifestWord& word : words) {
        if ((bits & word.bits) != word.bits || word.bits == 0) continue;
        if (!text.empty()) text += ' ';
        text += word.word;
    }
    return text.empty() ? "none" : text;
}

Parsed<RecordSource> recordSource(const ManifestSection& section)
{
    const ManifestEntry* file = section.find("file");
    if (!file) return ManifestError{section.line, "[" + section.name + "] needs 'file = PATH'"};
    if (file->value.empty()) return errorAt(*file, "names no file");

    const auto slash = file->value.rfind('/');
    RecordSource source{file->value, file->line,
                        slash == std::string::npos ? file->value : file->value.substr(slash + 1), file->line};
    if (const ManifestEntry* name = section.find("name")) {
        source.name = name->value;
        source.nameLine = name->line;
    }
    if (source.name.empty() || source.name == "." || source.name == ".." ||
        source.name.find('/') != std::string::npos)
        return ManifestError{source.nameLine, "'" + source.name + "' is no record name"};
    if (source.name.size() >= static_cast<std::size_t>(bundle::kNameField))
        return ManifestError{source.nameLine,
                             "'" + source.name + "': a record name holds at most 31 characters"};
    return source;
}

} // namespace fwbundle
