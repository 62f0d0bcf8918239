#pragma once
// A message file of the bundle: a 125-byte header (name, caption, live time, the two mode flags,
// text length, background colour, steady or blinking) and the text, RTF or plain.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

struct MessageRecord {
    static constexpr std::size_t kHeaderSize = 125;

    std::string Msg_Name;    // at most 16 bytes
    std::string Msg_Caption; // at most 64 bytes
    std::uint16_t Live_Time = 0;
    std::uint8_t Msg_FTP_Check = 0;
    std::uint8_t Msg_TFTP_Check = 0;
    std::uint16_t Text_Length = 0;
    std::uint32_t Back_Color = 0; // 0x00BBGGRR
    std::uint8_t Steady_Text = 0;
    std::string text; // Text_Length bytes, or what the record holds of them
};

// Reads a message file's bytes. Header bytes the file lacks count as zero; a text that the file cuts
// short is taken as far as it goes, never further.
MessageRecord readMessageRecord(std::span<const std::byte> bytes);
