#include "web/ReplyScan.h"

#include <algorithm>

std::optional<std::string> redirectPortText(std::string_view reply)
{
    for (std::size_t i = 0; i + 1 < reply.size(); ++i) {
        if (reply[i] != ':' || reply[i + 1] < '1' || reply[i + 1] > '9') continue;
        const std::string_view rest = reply.substr(i + 1);
        return std::string{rest.substr(0, rest.find('\r'))};
    }
    return std::nullopt;
}

std::optional<std::uint16_t> portNumber(std::string_view text)
{
    if (text.empty() || text.size() > 10) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 0x7FFFFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value & 0xFFFF);
}

std::optional<std::string> resultTagCode(std::string_view reply)
{
    const std::size_t tag = reply.find("--CAS");
    if (tag == std::string_view::npos) return std::nullopt;
    const std::size_t start = tag + 6;
    if (start >= reply.size()) return std::string{};
    return std::string{reply.substr(start, 4)};
}

std::string alertText(std::string_view reply)
{
    const std::size_t alert = reply.find("alert");
    if (alert == std::string_view::npos || alert + 7 >= reply.size()) return {};
    std::string_view rest = reply.substr(alert + 7, 23);
    return std::string{rest.substr(0, rest.find('"'))};
}
