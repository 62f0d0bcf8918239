// The positional command line, as the creation step applies it.
#include "app/tests/AppFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace app::testing;
using ::testing::ElementsAreArray;

struct CommandCase {
    const char* label;
    friend void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.label; }
    std::vector<std::string> args;
    std::vector<std::string> log; // after the version lines
    struct Want {
        std::uint8_t paramMode, putPending, getPending, logByParam;
        std::string entry, password, romID, fileField;
        std::vector<std::string> presetFiles;
    } want;
};

const std::string kError = "Clear all setting by parameter input error.";
const std::string kNoBundle = "No Imbed File Found !!";

std::vector<std::string> lines(std::string ip, std::string password, std::string rom)
{
    return {
        ip == "null" ? "Set DST IP = null in parameter input" : "Set DstIP = " + ip + " in parameter input",
        "Set password = " + password + " in parameter input", "Set ROMID = " + rom + " in parameter input"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CommandLine : public AppFixture, public ::testing::WithParamInterface<CommandCase> {};

TEST_P(CommandLine, SetsWhatTheArgumentsSay)
{
    const CommandCase& c = GetParam();
    create(c.args);
    EXPECT_THAT(logAfterVersionLines(), ElementsAreArray(c.log));
    const SettingsArea& s = form->settings;
    EXPECT_EQ(s.paramMode, c.want.paramMode);
    EXPECT_EQ(s.putPending, c.want.putPending);
    EXPECT_EQ(s.getPending, c.want.getPending);
    EXPECT_EQ(s.logByParam, c.want.logByParam);
    EXPECT_EQ(window.text(MainControl::IPComBox), c.want.entry);
    EXPECT_EQ(window.text(MainControl::PasswordComBox), c.want.password);
    EXPECT_EQ(form->cmdRomID, c.want.romID);
    EXPECT_EQ(window.text(MainControl::UpdateFileName), c.want.fileField);
    if (!c.want.presetFiles.empty()) {
        EXPECT_EQ(form->filesPreset, 1);
        ASSERT_EQ(form->fileList.count, static_cast<int>(c.want.presetFiles.size()));
        EXPECT_EQ(form->fileList.paths[0], c.want.presetFiles[0]);
        EXPECT_EQ(form->fileList.attributes[0], 0x080D);
        EXPECT_EQ(form->fileList.kinds[0], 1);
    } else if (s.paramMode) {
        EXPECT_EQ(form->fileList.count, 0); // a command-line start never takes the bundle's list
    }
    EXPECT_TRUE(window.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Starts, CommandLine,
    ::testing::Values(CommandCase{"PutInCapitalsWithNulls",
                                  {"PUT", "10.0.0.1", "null", "null"},
                                  lines("10.0.0.1", "null", "null"),
                                  {1, 1, 0, 0, "10.0.0.1", "", "", "", {}}},
                      CommandCase{"NullInCapitalsIsAPassword",
                                  {"set", "null", "NULL", "R1"},
                                  lines("null", "NULL", "R1"),
                                  {1, 0, 0, 0, "", "NULL", "R1", "", {}}},
                      CommandCase{"SetWithLogInCapitals",
                                  {"set", "1.2.3.4", "pw", "r", "LOG"},
                                  lines("1.2.3.4", "pw", "r"),
                                  {1, 0, 0, 1, "1.2.3.4", "pw", "r", "", {}}},
                      CommandCase{"SetWithLogTwice",
                                  {"set", "1.2.3.4", "pw", "r", "LOG", "log"},
                                  lines("1.2.3.4", "pw", "r"),
                                  {1, 0, 0, 1, "1.2.3.4", "pw", "r", "", {}}},
                      CommandCase{"PutWithAFileKeepsItsCase",
                                  {"put", "1.2.3.4", "pw", "r", "/fw/Main.BIN"},
                                  lines("1.2.3.4", "pw", "r"),
                                  {1, 1, 0, 0, "1.2.3.4", "pw", "r", "/fw/Main.BIN;", {"/fw/Main.BIN"}}},
                      CommandCase{"PutWithAFileAndLog",
                                  {"put", "1.2.3.4", "pw", "r", "f.bin", "Log"},
                                  lines("1.2.3.4", "pw", "r"),
                                  {1, 1, 0, 1, "1.2.3.4", "pw", "r", "f.bin;", {"f.bin"}}},
                      CommandCase{"SetWithAFileAndNotLogIsAnError",
                                  {"set", "a", "b", "c", "f.bin", "x"},
                                  lines("a", "b", "c") + std::vector<std::string>{kError, kNoBundle},
                                  {0, 0, 0, 0, "", "", "Vantik", "", {}}},
                      CommandCase{"PutWithSevenArgumentsIsAnError",
                                  {"put", "a", "b", "c", "d", "log", "e"},
                                  lines("a", "b", "c") + std::vector<std::string>{kError, kNoBundle},
                                  {0, 0, 0, 0, "", "", "Vantik", "", {}}},
                      CommandCase{"GetWithSixArgumentsIsAnError",
                                  {"get", "a", "b", "c", "0", "16"},
                                  lines("a", "b", "c") + std::vector<std::string>{kError, kNoBundle},
                                  {0, 0, 0, 0, "", "", "Vantik", "", {}}},
                      CommandCase{"UnknownModeIsAnError",
                                  {"upload", "a", "b", "c"},
                                  lines("a", "b", "c") + std::vector<std::string>{kError, kNoBundle},
                                  {0, 0, 0, 0, "", "", "Vantik", "", {}}},
                      CommandCase{"GetWithSevenArguments",
                                  {"get", "10.0.0.2", "pw", "null", "0x100", "16", "rom.bin"},
                                  lines("10.0.0.2", "pw", "null"),
                                  {1, 0, 1, 0, "10.0.0.2", "pw", "", "rom.bin;", {}}},
                      CommandCase{"ThreeArgumentsAreIgnored",
                                  {"put", "a", "b"},
                                  {kNoBundle},
                                  {0, 0, 0, 0, "", "", "Vantik", "", {}}},
                      CommandCase{"NoArguments", {}, {kNoBundle}, {0, 0, 0, 0, "", "", "Vantik", "", {}}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AppFixture, GetStartFillsTheGetParametersAndTheCaption)
{
    create({"get", "10.0.0.2", "pw", "rom", "0x100", "16", "rom.bin"});
    const char* area = form->settings.record.initFile;
    EXPECT_EQ(fieldText(area + GetParameters::kFileName, GetParameters::kFileNameWidth), "rom.bin");
    EXPECT_EQ(fieldText(area + GetParameters::kOffset, GetParameters::kOffsetWidth), "0x100");
    EXPECT_EQ(fieldText(area + GetParameters::kLength, GetParameters::kLengthWidth), "16");
    EXPECT_EQ(window.caption(), "Device ROM data download V1.1.0");
}

TEST_F(AppFixture, ACommandLineStartIgnoresAnUnreadableBundle)
{
    auto broken =
        bundle::composeBundle(bundle::testing::filled(16),
                              std::vector<bundle::BundleRecord>{bundle::testing::record("a", 0x080D, 4)});
    bundle::testing::storeLe32(broken, 16, 20); // record length below the header
    create({"put", "10.0.0.1", "null", "null"}, broken);
    EXPECT_EQ(form->startFailed, 0);
    ASSERT_EQ(window.boxes.size(), 1u); // the reader's own box, not the start's
    EXPECT_EQ(window.boxes[0].text, "Error to open file in read_imbed_file function");
}

} // namespace
