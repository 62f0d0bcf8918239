#include "discovery/ProbeFormats.h"

#include <algorithm>
#include <cstring>

namespace probe {
namespace {

std::vector<std::byte> bytes(std::initializer_list<unsigned> values)
{
    std::vector<std::byte> out;
    for (const unsigned v : values) out.push_back(static_cast<std::byte>(v));
    return out;
}

} // namespace

std::vector<std::byte> bootRequest(std::string_view romID)
{
    std::vector<std::byte> datagram(kBootRequestLength);
    datagram[0] = std::byte{0xC0};
    datagram[1] = std::byte{0x01};
    datagram[2] = std::byte{0x01};
    // The ROM ID and its zero byte go in from byte 108; byte 123 is zero again afterwards, so an ID
    // of up to 15 characters fills a zero-padded field at 108-123 and a longer one runs past it.
    const std::size_t room = kBootRequestLength - 108 - 1;
    const std::size_t length = std::min(romID.size(), room);
    std::memcpy(datagram.data() + 108, romID.data(), length);
    datagram[108 + length] = std::byte{0};
    datagram[123] = std::byte{0};
    return datagram;
}

std::vector<std::byte> datagramFor(int kind, std::string_view romID)
{
    switch (kind) {
    case kNormal:
        return bytes({0x51, 0x44, 0x00, 0x00}); // "QD"
    case kBootRequest:
        return bootRequest(romID);
    case kCrash:
        return bytes({0x00, 0x01, 'V', 'N', 0x00, 'o', 'c', 't', 'e', 't', 0x00}); // TFTP read of "VN"
    case kDefaultAddress:
        return bytes({0x51, 0x51, 0x00}); // "QQ"
    default:
        return {};
    }
}

std::size_t replyLength(int kind)
{
    switch (kind) {
    case kNormal:
        return 68;
    case kBootRequest:
        return kBootRequestLength;
    case kCrash:
        return 516;
    case kDefaultAddress:
        return 64;
    default:
        return 0;
    }
}

bool accepts(int kind, std::span<const std::byte> reply)
{
    switch (kind) {
    case kBootRequest:
        return (!reply.empty() && reply[0] == std::byte{0xC1}) ||
               (reply.size() > 3 && reply[3] == std::byte{0x10});
    case kCrash:
        return reply.size() >= 11 && std::memcmp(reply.data() + 4, "$Brisel", 7) == 0;
    case kNormal:
    case kDefaultAddress:
        return true;
    default:
        return false;
    }
}

std::string textAt(std::span<const std::byte> reply, std::size_t offset)
{
    if (offset >= reply.size()) return {};
    const char* begin = reinterpret_cast<const char*>(reply.data() + offset);
    return std::string(begin, ::strnlen(begin, reply.size() - offset));
}

ReplyTexts textsOf(int kind, std::span<const std::byte> reply)
{
    switch (kind) {
    case kNormal:
        return {textAt(reply, 44), textAt(reply, 12)};
    case kBootRequest:
        return {textAt(reply, 108), textAt(reply, 140)};
    case kCrash:
        return {textAt(reply, 4), "unknown"};
    case kDefaultAddress:
        return {"default IP", "unknown"};
    default:
        return {"unknow module", ""};
    }
}

} // namespace probe
