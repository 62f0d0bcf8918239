#pragma once
// Small bundles for the tests, written to files of a test-owned directory.
#include "bundle/BundleWriter.h"
#include "platform/File.h"
#include "platform/TempDir.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace bundle::testing {

inline std::vector<std::byte> bytesOf(std::string_view text)
{
    const auto span = fw::asBytes(text);
    return {span.begin(), span.end()};
}

inline std::vector<std::byte> filled(std::size_t count, char c = 'x')
{
    return std::vector<std::byte>(count, static_cast<std::byte>(c));
}

inline BundleRecord record(std::string name, std::uint16_t attribute, std::size_t dataLength, char fill = 'd')
{
    return {std::move(name), attribute, filled(dataLength, fill)};
}

inline std::string writeFile(const fw::TempDir& dir, const std::string& name,
                             std::span<const std::byte> bytes)
{
    const std::string path = dir.prefix() + name;
    fw::File file = fw::File::createFresh(path);
    EXPECT_TRUE(file.write(bytes));
    return path;
}

inline std::string readText(const std::string& path)
{
    const auto bytes = fw::File::openRead(path).readAll();
    if (!bytes) return "<missing>";
    return {reinterpret_cast<const char*>(bytes->data()), bytes->size()};
}

// Little-endian stores into an already composed file, to spoil its trailer or a record.
inline void storeLe16(std::vector<std::byte>& bytes, std::size_t at, std::uint16_t value)
{
    bytes[at] = static_cast<std::byte>(value & 0xFF);
    bytes[at + 1] = static_cast<std::byte>(value >> 8);
}
inline void storeLe32(std::vector<std::byte>& bytes, std::size_t at, std::uint32_t value)
{
    storeLe16(bytes, at, static_cast<std::uint16_t>(value & 0xFFFF));
    storeLe16(bytes, at + 2, static_cast<std::uint16_t>(value >> 16));
}

} // namespace bundle::testing
