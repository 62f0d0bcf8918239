#pragma once
// The bundle appended to the program file: records of (length, attribute word, name, data) back to
// back, then a trailer of record offsets, version, count, trailer length and the magic "tesmora".
// Integers are little-endian, except the attribute word, which is stored high byte first.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace fw {
class File;
}

// Bits of the attribute word every record carries.
namespace Attribute {
inline constexpr std::uint16_t Default_Check = 0x0001; // image for any model; message without name check
inline constexpr std::uint16_t RomID_Check = 0x0002;   // image only for a matching module name
inline constexpr std::uint16_t Normal_Check = 0x0004;  // may go by HTTP and FTP
inline constexpr std::uint16_t TFTP_Check = 0x0008;    // may go by TFTP
inline constexpr std::uint16_t Section_ID = 0x00F0;    // section number 0-15
inline constexpr std::uint16_t Keep_Name = 0x0100;     // temporary copy keeps the plain name
inline constexpr std::uint16_t Message_File = 0x0400;  // a message record; tested before Upgrade_File
inline constexpr std::uint16_t Upgrade_File = 0x0800;  // a firmware image
inline constexpr std::uint16_t Control_File = 0x1000;  // the settings file
// What a file chosen by the user or preset gets.
inline constexpr std::uint16_t kChosenFile = Upgrade_File | TFTP_Check | Normal_Check | Default_Check;

inline int sectionOf(std::uint16_t attribute)
{
    return (attribute & Section_ID) >> 4;
}
} // namespace Attribute

namespace bundle {

inline constexpr char kMagic[8] = {'t', 'e', 's', 'm', 'o', 'r', 'a', '\0'};
inline constexpr std::uint16_t kVersion = 4;
inline constexpr int kHeaderSize = 38;   // length 4, attribute 2, name 32
inline constexpr int kNameField = 32;    // the name ends with a zero byte inside it: 31 characters
inline constexpr int kFixedTrailer = 14; // version, count, trailer length, magic
inline constexpr int kMaxRecords = 64;

inline std::uint32_t trailerLengthFor(std::uint32_t count)
{
    return 4 * count + kFixedTrailer;
}

std::uint16_t le16(std::span<const std::byte> bytes, std::size_t at);
std::uint32_t le32(std::span<const std::byte> bytes, std::size_t at);

struct RecordHeader {
    std::int32_t length = 0; // whole record, header included
    std::uint16_t attribute = 0;
    std::string name; // up to the first zero byte of its field, never past the field
    bool operator==(const RecordHeader&) const = default;
};

// The 38 header bytes as stored; the length is not checked here.
RecordHeader decodeRecordHeader(std::span<const std::byte, kHeaderSize> bytes);

// Where the parts of a bundled file lie, found from its last bytes.
struct Layout {
    std::int64_t fileLength = 0;
    std::uint16_t version = 0;
    std::uint16_t count = 0;
    std::uint16_t trailerLength = 0;
    std::int64_t bundleLength = 0; // record offset 0: first record to the end of the file
    std::int64_t imageLength() const { return fileLength - bundleLength; }
    std::int64_t recordsEnd() const { return fileLength - trailerLength; }
};

enum class Probe { NoBundle, Bundle, Unreadable };

// Looks at the magic and, when present, the version word. Unreadable: the file ends too soon.
Probe probe(const fw::File& file, std::uint16_t* version = nullptr);

// Reads and checks the trailer of a file that carries the magic. nullopt when the trailer does not
// fit the file: a trailer length past the file or other than 4 x count + 14, or a bundle length that
// leaves no room for the trailer or reaches before the start of the file. A count of 0 has no offset
// table: the program image is then the file without the fixed trailer.
std::optional<Layout> readLayout(const fw::File& file);

// Walks the records of a layout one after the other by their lengths, checking each against the
// space left before the trailer, so nothing is ever read past a record or into the trailer.
class RecordWalker {
public:
    RecordWalker(const fw::File& file, const Layout& layout);
    // The next record's header; nullopt when it is shorter than a header, runs into the trailer or
    // cannot be read. After a record, dataOffset() and dataLength() say where its data lies.
    std::optional<RecordHeader> next();
    std::int64_t dataOffset() const { return m_recordStart + kHeaderSize; }
    std::int64_t dataLength() const { return m_recordLength - kHeaderSize; }

private:
    const fw::File& m_file;
    std::int64_t m_position;
    std::int64_t m_end;
    std::int64_t m_recordStart = 0;
    std::int64_t m_recordLength = 0;
};

} // namespace bundle
