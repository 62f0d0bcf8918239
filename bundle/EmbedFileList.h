#pragma once
// A list of temporary files: paths, attribute words and kinds in parallel arrays, and a count.
// Row 0 is the copy of the program image, so the list has room for 64 records and that copy.
#include <array>
#include <cstdint>
#include <string>

struct EmbedFileRows {
    static constexpr int kRows = 65;

    std::array<std::string, kRows> paths;
    std::array<std::uint16_t, kRows> attributes{};
    std::array<std::int32_t, kRows> kinds{}; // 0 the program copy, 1 an ordinary file
    std::int32_t count = 0;

    // Adds a row; false when the list is full.
    bool add(std::string path, std::uint16_t attribute, std::int32_t kind)
    {
        if (count >= kRows) return false;
        paths[count] = std::move(path);
        attributes[count] = attribute;
        kinds[count] = kind;
        ++count;
        return true;
    }
    void clear() { *this = EmbedFileRows{}; }
};
