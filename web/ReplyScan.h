#pragma once
// The scans the device web access makes over a device's reply text: the port of a redirect, the
// code of the result tag, and the text of a script alert.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The port text of a redirect: what follows the first ':' whose next character is a digit from 1 to
// 9, up to the next carriage return or the end. Devices write the port at the end of the line.
std::optional<std::string> redirectPortText(std::string_view reply);
// The port a port text gives, when it is a decimal number (digits only, within 32 bits): its low
// 16 bits.
std::optional<std::uint16_t> portNumber(std::string_view text);
// The code of the result tag "--CAS": the (at most four) characters 6 bytes after the tag's start;
// none when the reply has no tag.
std::optional<std::string> resultTagCode(std::string_view reply);
// The message of a script alert: the characters 7 bytes after the start of "alert", up to the next
// double quote, at most 23 of them.
std::string alertText(std::string_view reply);
