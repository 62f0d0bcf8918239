#pragma once
// Composes a bundled program file: the image, the records in order, and the trailer.
#include "bundle/BundleFormat.h"

#include <vector>

namespace bundle {

struct BundleRecord {
    std::string name; // stored in a 32-byte field; a name of 32 or more characters loses its zero byte
    std::uint16_t attribute = 0;
    std::vector<std::byte> data;
};

// The 38 header bytes of a record with this data length.
std::vector<std::byte> encodeRecordHeader(std::int32_t recordLength, std::uint16_t attribute,
                                          std::string_view name);

// The trailer of records that start at the given distances from the start of the bundle.
std::vector<std::byte> encodeTrailer(std::span<const std::int64_t> recordStarts,
                                     std::int64_t bundleBodyLength, std::uint16_t version = kVersion);

// image + records + trailer, each record offset being (final file length) - (record start).
std::vector<std::byte> composeBundle(std::span<const std::byte> image, std::span<const BundleRecord> records,
                                     std::uint16_t version = kVersion);

} // namespace bundle
