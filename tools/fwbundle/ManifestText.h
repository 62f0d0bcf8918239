#pragma once
// The manifest's lines: [section] headers, key = value entries, # comments, and quoted values.
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace fwbundle {

// A fault in a manifest: the line it is on (0 for the manifest as a whole) and what is wrong.
struct ManifestError {
    int line = 0;
    std::string text;
};

template <typename T>
using Parsed = std::variant<T, ManifestError>;

struct ManifestEntry {
    int line = 0;
    std::string key;
    std::string value; // quotes and escapes already resolved
};

struct ManifestSection {
    int line = 0;
    std::string name;
    std::vector<ManifestEntry> entries; // in the order written, no key twice
    const ManifestEntry* find(std::string_view key) const;
};

// Splits a manifest into its sections. A line is blank, a '#' comment, a "[name]" header or
// "key = value". A value is the rest of its line without the blanks around it, '#' included, or a
// text in double quotes with the escapes \" \\ and \xHH, for blanks at its ends and unprintable bytes.
Parsed<std::vector<ManifestSection>> parseManifest(std::string_view text);

// The value as a manifest line writes it: bare when it reads back unchanged, quoted otherwise.
std::string quoteValue(std::string_view value);

} // namespace fwbundle
