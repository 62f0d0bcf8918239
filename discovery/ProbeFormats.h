#pragma once
// The datagrams of the device search: what each probe sends, which replies it accepts, and where the
// texts of a reply lie. Every read stays inside the datagram.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace probe {

// Probe kinds, as the search numbers them.
inline constexpr int kNormal = 1;
inline constexpr int kCrash = 2;
inline constexpr int kDefaultAddress = 3;
inline constexpr int kBootRequest = 4;
inline constexpr int kPingOnly = 5;

inline constexpr std::size_t kBootRequestLength = 548;

// The datagram a probe kind sends; empty for the ping-only pass.
std::vector<std::byte> datagramFor(int kind, std::string_view romID);
// The boot-request datagram: 0xC0 0x01 0x01, the ROM ID and a zero byte from byte 108, byte 123 zero.
std::vector<std::byte> bootRequest(std::string_view romID);
// How many bytes of a reply each kind reads; longer replies are cut.
std::size_t replyLength(int kind);
bool accepts(int kind, std::span<const std::byte> reply);
// The zero-terminated text at offset; empty when the reply ends before it; ends with the reply.
std::string textAt(std::span<const std::byte> reply, std::size_t offset);

struct ReplyTexts {
    std::string module;
    std::string detail;
};
ReplyTexts textsOf(int kind, std::span<const std::byte> reply);

} // namespace probe
