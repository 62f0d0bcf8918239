#include "app/NumberText.h"

NumberText readNumberText(std::string_view text)
{
    NumberText out;
    std::uint32_t value = 0;
    if (text.size() >= 2 && (text[1] == 'x' || text[1] == 'X')) {
        out.passedOn = std::string{text.substr(2)};
        for (const char c : text.substr(2)) {
            int digit = -1;
            if (c >= '0' && c <= '9') digit = c - '0';
            if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
            if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
            if (digit < 0) break;
            value = value * 16 + static_cast<std::uint32_t>(digit); // wraps as a 32-bit word does
        }
        out.value = static_cast<std::int32_t>(value);
        return out;
    }
    out.passedOn = std::string{text};
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + static_cast<std::uint32_t>(text[i] - '0');
    out.value = static_cast<std::int32_t>(negative ? 0u - value : value);
    return out;
}
