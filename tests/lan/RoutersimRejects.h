#pragma once
// tests/lan/RoutersimRejects.h: the table test of routersim's refused command lines; each file of
// options instantiates it with its own rows.
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

struct BadCase {
    const char* label;
    std::vector<std::string> args;
    std::string wantInErr;
};
inline void PrintTo(const BadCase& c, std::ostream* os)
{
    *os << c.label;
}

class RoutersimRejects : public testing::TestWithParam<BadCase> {};
