#pragma once
// A whole manifest checked and turned into the records it names, in the order of its sections.
#include "tools/fwbundle/ManifestText.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fwbundle {

inline constexpr const char* kSettingsName = "control.cfg";

struct ManifestRecord {
    int line = 0; // where the record's name comes from
    std::string name;
    std::uint16_t attribute = 0;
    std::string path; // an image's or a message's file as written; empty for the settings record
    int pathLine = 0;
    // The settings record's bytes, or a message's header, its text to follow from path; an image's
    // bytes are all read from path.
    std::vector<std::byte> data;
};

// Sections: [image] and [message] any number, [settings] at most once. Refused besides: no record
// at all, more than 64 records, two records of one name.
Parsed<std::vector<ManifestRecord>> manifestRecords(std::string_view text);

} // namespace fwbundle
