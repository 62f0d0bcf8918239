#pragma once
// Message records and the [message] section of a manifest, each made from the other.
#include "tools/fwbundle/ManifestText.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace fwbundle {

// A message record's data: this header, then Text_Length bytes of RTF or plain text.
inline constexpr std::size_t kMessageHeaderSize = 125;
inline constexpr std::size_t kMaxMessageText = 0xFFFF; // Text_Length is 16 bits
using MessageHeader = std::array<std::byte, kMessageHeaderSize>;

// What decodeMessage reads of a record: the header and enough text to tell RTF from plain text.
inline constexpr std::size_t kMessageLead = kMessageHeaderSize + 5;

struct MessageEntry {
    std::string path; // the text's file as written, read later
    int pathLine = 0;
    std::string name; // the record name
    int nameLine = 0;
    std::uint16_t attribute = 0;
    MessageHeader header{}; // Text_Length still 0
};

// The record a [message] section describes, but for its text. Keys: file (required), shown
// (required), name, message-name, caption, live-time, models, background, text. A section the
// program would never show (shown = start, models = matching, and a message name that does not
// continue after "VELT") is refused.
Parsed<MessageEntry> encodeMessage(const ManifestSection& section);

// Appends the text to a header and stores its length there; the text holds at most 65535 bytes.
void appendMessageText(std::vector<std::byte>& data, std::span<const std::byte> text);

// A record of `length` data bytes, of which `lead` holds the first min(length, kMessageLead), as a
// [message] section listing every key, with file naming the record; the text itself is left out and
// described in a '#' line. The section encodes back to the same bytes when the text is kept under
// the record's name, except where '#' lines above a key say what it cannot express: a damaged
// length, bytes after the text, texts that fill their fields, nonzero reserved bytes, flag bytes
// other than 0 and 1, a live time past the longest, no model bit. A record shorter than the header
// is one '#' line.
std::string decodeMessage(std::string_view name, std::uint16_t attribute, std::span<const std::byte> lead,
                          std::int64_t length);

} // namespace fwbundle
