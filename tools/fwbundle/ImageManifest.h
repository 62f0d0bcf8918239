#pragma once
// An [image] section of a manifest, and record attribute words told in the manifest's words.
#include "bundle/BundleFormat.h"
#include "tools/fwbundle/ManifestValues.h"

#include <cstdint>

namespace fwbundle {

// models = of [image] and [message]: the model check bits of the attribute word.
inline constexpr ManifestWord kModels[] = {{"any", Attribute::Default_Check},
                                           {"matching", Attribute::RomID_Check},
                                           {"both", Attribute::Default_Check | Attribute::RomID_Check}};

struct ImageEntry {
    std::string path; // as written; relative paths start from the manifest's folder
    int pathLine = 0;
    std::string name; // the record name: the file's base name unless the section gives one
    int nameLine = 0;
    std::uint16_t attribute = 0;
};

// Keys: file (required), name, methods (http ftp tftp, default all), models (any, matching or both,
// default any), section (0-15, default 0), keep-name (yes or no, default no).
Parsed<ImageEntry> parseImage(const ManifestSection& section);

// "[image] methods = http ftp tftp, models = any, section = 0, keep-name = no", "[settings]",
// "[message] models = any"; bits that the record's kind leaves unexplained follow as
// "other bits = 0x0200".
std::string describeAttribute(std::uint16_t attribute);

} // namespace fwbundle
