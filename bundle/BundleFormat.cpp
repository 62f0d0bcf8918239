#include "bundle/BundleFormat.h"

#include "platform/File.h"

#include <array>
#include <cstring>

namespace bundle {

std::uint16_t le16(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[at]) |
                                      std::to_integer<unsigned>(bytes[at + 1]) << 8);
}

std::uint32_t le32(std::span<const std::byte> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(le16(bytes, at)) | static_cast<std::uint32_t>(le16(bytes, at + 2))
                                                             << 16;
}

RecordHeader decodeRecordHeader(std::span<const std::byte, kHeaderSize> bytes)
{
    RecordHeader header;
    header.length = static_cast<std::int32_t>(le32(bytes, 0));
    header.attribute = static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[4]) << 8 |
                                                  std::to_integer<unsigned>(bytes[5]));
    const char* name = reinterpret_cast<const char*>(bytes.data() + 6);
    header.name.assign(name, ::strnlen(name, kNameField));
    return header;
}

Probe probe(const fw::File& file, std::uint16_t* version)
{
    const auto length = file.size();
    if (!length) return Probe::Unreadable;
    std::array<std::byte, 8> magic{};
    if (*length < 8 || !file.readAt(*length - 8, magic)) return Probe::NoBundle;
    if (std::memcmp(magic.data(), kMagic, sizeof kMagic) != 0) return Probe::NoBundle;
    std::array<std::byte, 2> word{};
    if (*length < kFixedTrailer || !file.readAt(*length - kFixedTrailer, word)) return Probe::Unreadable;
    if (version) *version = le16(word, 0);
    return Probe::Bundle;
}

std::optional<Layout> readLayout(const fw::File& file)
{
    const auto length = file.size();
    std::array<std::byte, kFixedTrailer> fixed{};
    if (!length || *length < kFixedTrailer || !file.readAt(*length - kFixedTrailer, fixed))
        return std::nullopt;
    Layout layout;
    layout.fileLength = *length;
    layout.version = le16(fixed, 0);
    layout.count = le16(fixed, 2);
    layout.trailerLength = le16(fixed, 4);
    if (layout.trailerLength > layout.fileLength || layout.trailerLength != trailerLengthFor(layout.count))
        return std::nullopt;
    if (layout.count == 0) {
        layout.bundleLength = layout.trailerLength;
        return layout;
    }
    std::array<std::byte, 4> offset{};
    if (!file.readAt(layout.fileLength - layout.trailerLength, offset)) return std::nullopt;
    layout.bundleLength = le32(offset, 0);
    if (layout.bundleLength < layout.trailerLength || layout.bundleLength > layout.fileLength)
        return std::nullopt;
    return layout;
}

RecordWalker::RecordWalker(const fw::File& file, const Layout& layout)
    : m_file{file}, m_position{layout.imageLength()}, m_end{layout.recordsEnd()}
{
}

std::optional<RecordHeader> RecordWalker::next()
{
    std::array<std::byte, kHeaderSize> bytes{};
    if (m_end - m_position < kHeaderSize || !m_file.readAt(m_position, bytes)) return std::nullopt;
    RecordHeader header = decodeRecordHeader(bytes);
    if (header.length < kHeaderSize || header.length > m_end - m_position) return std::nullopt;
    m_recordStart = m_position;
    m_recordLength = header.length;
    m_position += header.length;
    return header;
}

} // namespace bundle
