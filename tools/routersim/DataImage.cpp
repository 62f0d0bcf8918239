// tools/routersim/DataImage.cpp: the built-in image and the stretches read from an image.
#include "tools/routersim/DataImage.h"

#include <algorithm>

namespace routersim {

std::string builtinDataImage()
{
    std::string image(kBuiltinImageSize, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return image;
}

std::string_view imageStretch(std::string_view image, std::uint64_t offset, std::uint64_t length)
{
    if (offset >= image.size()) return {};
    const std::uint64_t left = image.size() - offset;
    return image.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(std::min(left, length)));
}

} // namespace routersim
