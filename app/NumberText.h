#pragma once
// The offset and length texts of a device data download: "0x"/"0X" and hexadecimal digits, or a
// decimal number (leading blanks and a sign allowed, reading stops at the first other character).
// Each gives its value and the text as it is passed on to the device's web interface.
#include <cstdint>
#include <string>
#include <string_view>

struct NumberText {
    std::int32_t value = 0;
    std::string passedOn; // the digits after the prefix for the hexadecimal form, the whole text otherwise
};

NumberText readNumberText(std::string_view text);
