#pragma once
// The settings record control.cfg and the [settings] section of a manifest, each made from the other.
#include "tools/fwbundle/ManifestText.h"

#include <array>
#include <cstddef>
#include <span>

namespace fwbundle {

inline constexpr std::size_t kSettingsSize = 224;
using SettingsRecord = std::array<std::byte, kSettingsSize>;

// The record a [settings] section describes. Every entry is checked; a key left out keeps what the
// program does without a settings file (all probes, user release, log hidden, no section check,
// the built-in search addresses and caption, the usual watchdog limit and method order).
Parsed<SettingsRecord> encodeSettings(const ManifestSection& section);

// The record as a [settings] section listing every key. It encodes back to the same bytes when the
// record's texts end with zero bytes and nothing follows them; what it cannot express (a text that
// fills its field, a method or method order of no known number, a lone default-probe bit) it
// reports in '#' lines above the key.
std::string decodeSettings(std::span<const std::byte, kSettingsSize> record);

} // namespace fwbundle
