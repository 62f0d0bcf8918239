// tools/nfdelay/Options.h: the command line of nfdelay and its parser.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace nfdelay {

struct Options {
    std::uint16_t queue = 0;
    std::chrono::milliseconds delay{0};
    bool help = false;
};

struct ParsedOptions {
    Options options;
    std::string error; // empty: the command line was good
};

ParsedOptions parseOptions(int argc, const char* const* argv);

const char* usageText();

} // namespace nfdelay
