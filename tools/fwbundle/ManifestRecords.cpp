#include "tools/fwbundle/ManifestRecords.h"

#include "bundle/BundleFormat.h"
#include "tools/fwbundle/ImageManifest.h"
#include "tools/fwbundle/MessageManifest.h"
#include "tools/fwbundle/SettingsManifest.h"

#include <algorithm>

namespace fwbundle {

Parsed<std::vector<ManifestRecord>> manifestRecords(std::string_view text)
{
    auto parsed = parseManifest(text);
    if (const auto* error = std::get_if<ManifestError>(&parsed)) return *error;
    std::vector<ManifestRecord> records;
    int settingsLine = 0;
    for (const ManifestSection& section : std::get<std::vector<ManifestSection>>(parsed)) {
        ManifestRecord record;
        if (section.name == "image") {
            auto image = parseImage(section);
            if (const auto* error = std::get_if<ManifestError>(&image)) return *error;
            auto& entry = std::get<ImageEntry>(image);
            record = {entry.nameLine,        std::move(entry.name), entry.attribute,
                      std::move(entry.path), entry.pathLine,        {}};
        } else if (section.name == "settings") {
            if (settingsLine != 0)
                return ManifestError{section.line,
                                     "a manifest holds one [settings] section, the first is on line " +
                                         std::to_string(settingsLine)};
            settingsLine = section.line;
            auto settings = encodeSettings(section);
            if (const auto* error = std::get_if<ManifestError>(&settings)) return *error;
            const auto& bytes = std::get<SettingsRecord>(settings);
            record = {
                section.line, kSettingsName, Attribute::Control_File, {}, 0, {bytes.begin(), bytes.end()}};
        } else if (section.name == "message") {
            auto message = encodeMessage(section);
            if (const auto* error = std::get_if<ManifestError>(&message)) return *error;
            auto& entry = std::get<MessageEntry>(message);
            record = {entry.nameLine,  std::move(entry.name),
                      entry.attribute, std::move(entry.path),
                      entry.pathLine,  {entry.header.begin(), entry.header.end()}};
        } else {
            return ManifestError{section.line, "unknown section [" + section.name +
                                                   "]; expected [image], [settings] or [message]"};
        }
        if (records.size() == static_cast<std::size_t>(bundle::kMaxRecords))
            return ManifestError{section.line, "a bundle holds at most 64 records, and this is one more"};
        const auto same = std::find_if(records.begin(), records.end(),
                                       [&](const auto& r) { return r.name == record.name; });
        if (same != records.end())
            return ManifestError{record.line, "a second record named '" + record.name +
                                                  "' (the first is on line " + std::to_string(same->line) +
                                                  ")"};
        records.push_back(std::move(record));
    }
    if (records.empty()) return ManifestError{0, "names no record: no [image], [settings] or [message]"};
    return records;
}

} // namespace fwbundle
