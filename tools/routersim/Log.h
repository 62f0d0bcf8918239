// tools/routersim/Log.h: the lines routersim writes on stderr, one per datagram and event.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <span>
#include <string>

namespace routersim {

void logLine(const std::string& text); // "routersim: " + text, written at once

std::string addressText(in_addr address);
std::string endpointText(in_addr address, std::uint16_t port);
std::string endpointText(const sockaddr_in& endpoint);

// The first bytes of a datagram in hex; a long one ends in "..." so a line stays readable.
std::string hexPrefix(std::span<const std::byte> bytes, std::size_t shown = 24);

} // namespace routersim
