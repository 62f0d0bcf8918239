#pragma once
// Manifest values read as numbers, as one word of a few or as a set of words, and written back; the
// file and record name of a section that packs a file.
#include "tools/fwbundle/ManifestText.h"

#include <optional>
#include <span>

namespace fwbundle {

// A word a value may hold and the bits it stands for.
struct ManifestWord {
    std::string_view word;
    unsigned bits;
};

// An error on the entry's line, led by its key: "methods: ...".
ManifestError errorAt(const ManifestEntry& entry, const std::string& text);

// An error naming the first entry whose key is none of the known ones; nullopt when all are known.
std::optional<ManifestError> unknownKey(const ManifestSection& section,
                                        std::span<const std::string_view> known);

// A whole decimal number from low to high, a minus sign allowed; what says what it counts, for errors.
Parsed<int> parseNumber(const ManifestEntry& entry, int low, int high, std::string_view what);

// Exactly one of the words.
Parsed<unsigned> parseChoice(const ManifestEntry& entry, std::span<const ManifestWord> words);

// Words separated by blanks, each at most once, or "all" for every one (or "none" when allowed for
// no one); their bits or-ed together.
Parsed<unsigned> parseWordSet(const ManifestEntry& entry, std::span<const ManifestWord> words,
                              bool noneAllowed);

// The word whose bits are exactly these; empty when there is none.
std::string_view wordFor(unsigned bits, std::span<const ManifestWord> words);

// The words whose bits are all present, in table order, or "none".
std::string wordsFor(unsigned bits, std::span<const ManifestWord> words);

// "get, put or set": the choices, for errors.
std::string choicesOf(std::span<const ManifestWord> words);

// The file a section packs and the record it becomes.
struct RecordSource {
    std::string path; // as written; relative paths start from the manifest's folder
    int pathLine = 0;
    std::string name; // the name key's, or the file's base name when the section gives none
    int nameLine = 0;
};

// The section's file (required, not empty) and record name: a plain file name of at most 31
// characters, as a record's name field holds it with its zero byte.
Parsed<RecordSource> recordSource(const ManifestSection& section);

} // namespace fwbundle
