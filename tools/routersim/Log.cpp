// tools/routersim/Log.cpp: formats and writes the log lines.
#include "tools/routersim/Log.h"

#include <arpa/inet.h>
#include <cstdio>

namespace routersim {

void logLine(const std::string& text)
{
    const std::string line = "routersim: " + text + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr); // one write a line, so lines of two runs never mix
}

std::string addressText(in_addr address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

std::string endpointText(in_addr address, std::uint16_t port)
{
    return addressText(address) + ":" + std::to_string(port);
}

std::string endpointText(const sockaddr_in& endpoint)
{
    return endpointText(endpoint.sin_addr, ntohs(endpoint.sin_port));
}

std::string hexPrefix(std::span<const std::byte> bytes, std::size_t shown)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && i < shown; ++i) {
        const auto value = static_cast<unsigned>(bytes[i]);
        if (i > 0) text += ' ';
        text += kDigits[value >> 4];
        text += kDigits[value & 0xF];
    }
    if (bytes.size() > shown) text += " ...";
    return text;
}

} // namespace routersim
