// fwbundle pack and list, run in-process on files of a test-owned directory.
#include "tools/fwbundle/BundleTool.h"
#include "bundle/tests/BundleFixtures.h"

#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace bundle::testing;

class BundleTool : public ::testing::Test {
public:
    std::optional<fw::TempDir> dir = fw::TempDir::create("fwtest-tool-");
    std::ostringstream out, err;

    std::string file(const std::string& name, std::string_view text)
    {
        return writeFile(*dir, name, fw::asBytes(text));
    }
    int run(std::vector<std::string> args)
    {
        out.str("");
        err.str("");
        return runBundleTool(args, out, err);
    }
    std::string output() const { return dir->prefix() + "out"; }
};

TEST_F(BundleTool, PackWritesTheComposedBytesAndKeepsTheRunBit)
{
    const std::string program = file("fwupgrade", "PROGRAM IMAGE");
    ASSERT_TRUE(fw::File::openWrite(program).setMode(0755));
    const std::string image = file("main.bin", "firmware bytes");
    const std::string settings = file("control.cfg", std::string(224, '\0'));
    ASSERT_EQ(run({"pack", "-o", output(), program, image + ":0x080D", settings + ":4096"}), 0) << err.str();

    const std::vector<bundle::BundleRecord> records{{"main.bin", 0x080D, bytesOf("firmware bytes")},
                                                    {"control.cfg", 0x1000, bytesOf(std::string(224, '\0'))}};
    const auto want = bundle::composeBundle(bytesOf("PROGRAM IMAGE"), records);
    EXPECT_EQ(readText(output()), std::string(reinterpret_cast<const char*>(want.data()), want.size()));
    EXPECT_EQ(fw::fileMode(output()), 0755u);

    ASSERT_EQ(run({"list", output()}), 0) << err.str();
    EXPECT_EQ(out.str(), "0 0x080D 14 main.bin\n1 0x1000 224 control.cfg\n");
}

struct RefusalCase {
    const char* label;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.label; }
    std::function<std::vector<std::string>(BundleTool&)> args;
    std::string error;
};

class PackRefuses : public BundleTool, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(PackRefuses, WithAClearErrorAndNoOutputFile)
{
    EXPECT_NE(run(GetParam().args(*this)), 0);
    EXPECT_NE(err.str().find(GetParam().error), std::string::npos) << err.str();
    EXPECT_FALSE(fw::fileExists(output()));
    EXPECT_FALSE(fw::fileExists(output() + ".partial"));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, PackRefuses,
    ::testing::Values(
        RefusalCase{"NameOfThirtyTwoCharacters",
                    [](BundleTool& t) {
                        return std::vector<std::string>{"pack", "-o", t.output(), t.file("p", "P"),
                                                        t.file(std::string(32, 'n'), "x") + ":0x080D"};
                    },
                    "at most 31 characters"},
        RefusalCase{"SixtyFiveFiles",
                    [](BundleTool& t) {
                        std::vector<std::string> args{"pack", "-o", t.output(), t.file("p", "P")};
                        const std::string image = t.file("i.bin", "x") + ":0x080D";
                        args.insert(args.end(), 65, image);
                        return args;
                    },
                    "at most 64 files"},
        RefusalCase{"AProgramThatAlreadyCarriesABundle",
                    [](BundleTool& t) {
                        const auto bundled =
                            bundle::composeBundle(bytesOf("P"), std::vector<bundle::BundleRecord>{});
                        const std::string program = writeFile(*t.dir, "bundled", bundled);
                        return std::vector<std::string>{"pack", "-o", t.output(), program,
                                                        t.file("i.bin", "x") + ":0x080D"};
                    },
                    "already carries a bundle"},
        RefusalCase{"AnAttributeThatIsNoNumber",
                    [](BundleTool& t) {
                        return std::vector<std::string>{"pack", "-o", t.output(), t.file("p", "P"),
                                                        t.file("i.bin", "x") + ":0x1FFFF"};
                    },
                    "attribute word"},
        RefusalCase{"AMissingFile",
                    [](BundleTool& t) {
                        return std::vector<std::string>{"pack", "-o", t.output(), t.file("p", "P"),
                                                        t.dir->prefix() + "missing.bin:0x080D"};
                    },
                    "cannot read"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(BundleTool, ListRefusesAFileWithoutBundle)
{
    EXPECT_EQ(run({"list", file("plain", "no bundle here")}), 1);
    EXPECT_NE(err.str().find("carries no bundle"), std::string::npos);
    EXPECT_EQ(run({"frobnicate"}), 2);
}

} // namespace
