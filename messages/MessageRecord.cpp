#include "messages/MessageRecord.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

std::string textField(const std::array<std::uint8_t, MessageRecord::kHeaderSize>& header, std::size_t at,
                      std::size_t width)
{
    const char* begin = reinterpret_cast<const char*>(header.data() + at);
    return std::string(begin, ::strnlen(begin, width));
}

} // namespace

MessageRecord readMessageRecord(std::span<const std::byte> bytes)
{
    std::array<std::uint8_t, MessageRecord::kHeaderSize> header{};
    std::memcpy(header.data(), bytes.data(), std::min(bytes.size(), header.size()));
    const auto le16 = [&](std::size_t at) {
        return static_cast<std::uint16_t>(header[at] | header[at + 1] << 8);
    };

    MessageRecord record;
    record.Msg_Name = textField(header, 0, 16);
    record.Msg_Caption = textField(header, 16, 64);
    record.Live_Time = le16(80);
    record.Msg_FTP_Check = header[82];
    record.Msg_TFTP_Check = header[83];
    record.Text_Length = le16(118);
    record.Back_Color = static_cast<std::uint32_t>(le16(120)) | static_cast<std::uint32_t>(le16(122)) << 16;
    record.Steady_Text = header[124];
    if (bytes.size() > MessageRecord::kHeaderSize) {
        const std::size_t available = bytes.size() - MessageRecord::kHeaderSize;
        const std::size_t length = std::min<std::size_t>(record.Text_Length, available);
        record.text.assign(reinterpret_cast<const char*>(bytes.data() + MessageRecord::kHeaderSize), length);
    }
    return record;
}
