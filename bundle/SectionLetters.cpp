#include "bundle/SectionLetters.h"

std::string SectionLetter(int section)
{
    if (section >= 1 && section <= 13) return std::string(1, static_cast<char>(0x40 + section));
    if (section == 14) return "T";
    if (section == 15) return "X";
    return {};
}
