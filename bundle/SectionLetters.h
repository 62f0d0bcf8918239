#pragma once
// Section letters: sections 1-13 are A-M, 14 is T and 15 is X.
#include <string>

// The letter of a section number 1-15; an empty text for 0 or anything else.
std::string SectionLetter(int section);
