#pragma once
// What the fwbundle tests share: a test-owned directory, files written into it, the tool run
// in-process, and settings and message records stated by offset.
#include "bundle/tests/BundleFixtures.h"
#include "tools/fwbundle/BundleTool.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <sstream>

namespace fwbundle::testing {

class ToolFixture : public ::testing::Test {
public:
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-tool-");
    std::ostringstream out, err;

    std::string file(const std::string& name, std::string_view text)
    {
        return bundle::testing::writeFile(*dir, name, fw::asBytes(text));
    }
    int run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        return runBundleTool(args, out, err);
    }
    std::string output() const { return dir->prefix() + "out"; }
};

// Bytes placed at an offset of a record.
struct Piece {
    std::size_t at;
    std::string_view bytes;
};

inline void place(std::vector<std::byte>& record, const Piece& piece)
{
    for (std::size_t i = 0; i < piece.bytes.size(); ++i)
        record.at(piece.at + i) = static_cast<std::byte>(piece.bytes[i]);
}

// A 224-byte settings record: zeros with the pieces written over them.
inline std::vector<std::byte> recordOf(std::initializer_list<Piece> pieces)
{
    std::vector<std::byte> record(224);
    for (const Piece& piece : pieces) place(record, piece);
    return record;
}

// The same with the four search addresses and the caption as a manifest that leaves them out has them.
inline std::vector<std::byte> recordWithDefaultTextsOf(std::initializer_list<Piece> pieces)
{
    std::vector<std::byte> record = recordOf(pieces);
    for (const std::size_t at : {118, 136, 154, 172, 190}) place(record, {at, "default"});
    return record;
}

// A message record's data: a 125-byte header of zeros with the pieces written over it, then the text.
inline std::vector<std::byte> messageRecordOf(std::initializer_list<Piece> pieces, std::string_view text = "")
{
    std::vector<std::byte> data(125);
    for (const Piece& piece : pieces) place(data, piece);
    const auto bytes = fw::asBytes(text);
    data.insert(data.end(), bytes.begin(), bytes.end());
    return data;
}

} // namespace fwbundle::testing
