#include "bundle/BundleWriter.h"

#include <algorithm>

namespace bundle {
namespace {

void putLe16(std::vector<std::byte>& out, std::uint16_t value)
{
    out.push_back(static_cast<std::byte>(value & 0xFF));
    out.push_back(static_cast<std::byte>(value >> 8));
}

void putLe32(std::vector<std::byte>& out, std::uint32_t value)
{
    putLe16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    putLe16(out, static_cast<std::uint16_t>(value >> 16));
}

} // namespace

std::vector<std::byte> encodeRecordHeader(std::int32_t recordLength, std::uint16_t attribute,
                                          std::string_view name)
{
    std::vector<std::byte> out;
    out.reserve(kHeaderSize);
    putLe32(out, static_cast<std::uint32_t>(recordLength));
    out.push_back(static_cast<std::byte>(attribute >> 8)); // the attribute word goes high byte first
    out.push_back(static_cast<std::byte>(attribute & 0xFF));
    const std::size_t kept = std::min<std::size_t>(name.size(), kNameField);
    for (std::size_t i = 0; i < kNameField; ++i)
        out.push_back(i < kept ? static_cast<std::byte>(name[i]) : std::byte{0});
    return out;
}

std::vector<std::byte> encodeTrailer(std::span<const std::int64_t> recordStarts,
                                     std::int64_t bundleBodyLength, std::uint16_t version)
{
    const auto count = static_cast<std::uint16_t>(recordStarts.size());
    const std::uint32_t trailerLength = trailerLengthFor(count);
    const std::int64_t bundleLength = bundleBodyLength + trailerLength;
    std::vector<std::byte> out;
    for (const std::int64_t start : recordStarts)
        putLe32(out, static_cast<std::uint32_t>(bundleLength - start));
    putLe16(out, version);
    putLe16(out, count);
    putLe16(out, static_cast<std::uint16_t>(trailerLength));
    for (const char c : kMagic) out.push_back(static_cast<std::byte>(c));
    return out;
}

std::vector<std::byte> composeBundle(std::span<const std::byte> image, std::span<const BundleRecord> records,
                                     std::uint16_t version)
{
    std::vector<std::byte> out(image.begin(), image.end());
    std::vector<std::int64_t> starts;
    for (const BundleRecord& record : records) {
        starts.push_back(static_cast<std::int64_t>(out.size() - image.size()));
        const auto length = static_cast<std::int32_t>(kHeaderSize + record.data.size());
        const auto header = encodeRecordHeader(length, record.attribute, record.name);
        out.insert(out.end(), header.begin(), header.end());
        out.insert(out.end(), record.data.begin(), record.data.end());
    }
    const auto trailer = encodeTrailer(starts, static_cast<std::int64_t>(out.size() - image.size()), version);
    out.insert(out.end(), trailer.begin(), trailer.end());
    return out;
}

} // namespace bundle
