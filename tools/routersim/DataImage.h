// tools/routersim/DataImage.h: the bytes of a device's stored data, which the "get" downloads read.
// Pure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace routersim {

// The image without --data-image: byte i is (i * 7 + 3) & 0xFF.
constexpr std::size_t kBuiltinImageSize = 64 * 1024;
std::string builtinDataImage();

// Bytes offset .. offset + length - 1 of image, clipped to its end (empty past it).
std::string_view imageStretch(std::string_view image, std::uint64_t offset, std::uint64_t length);

} // namespace routersim
