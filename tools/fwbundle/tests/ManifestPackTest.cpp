// fwbundle pack --manifest: the records a manifest names, and every manifest it refuses.
#include "tools/fwbundle/tests/ToolFixture.h"

#include <gmock/gmock.h>

namespace {

using namespace bundle::testing;
using namespace fwbundle::testing;
using ::testing::HasSubstr;
using ::testing::StartsWith;

class ManifestPack : public ToolFixture {
public:
    std::string program = file("fwupgrade", "PROGRAM IMAGE");
    std::string manifest(std::string_view text) { return file("manifest.txt", text); }
    std::string composed(const std::vector<bundle::BundleRecord>& records)
    {
        const auto bytes = bundle::composeBundle(bytesOf("PROGRAM IMAGE"), records);
        return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    }
};

TEST_F(ManifestPack, PacksTheRecordsInTheManifestsOrderWithPathsFromItsFolder)
{
    // The images lie beside the manifest, in a folder next to it, and at an absolute path; the test
    // runs elsewhere, so a path taken from the working directory fails to read.
    const auto other = fw::TempDir::create("fwtest-other-");
    ASSERT_TRUE(other);
    file("main.bin", "MAIN");
    writeFile(*other, "boot.bin", fw::asBytes("BOOT"));
    const std::string wrt = writeFile(*other, "wrt.bin", fw::asBytes("WRT"));
    const std::string otherFolder = other->path().substr(other->path().rfind('/') + 1);
    const std::string path = manifest("# The WRT line\n"
                                      "[image]\n"
                                      "file = main.bin\n"
                                      "\n"
                                      "[settings]\n"
                                      "method = put\n"
                                      "address = 192.168.1.1\n"
                                      "\n"
                                      "[image]\n"
                                      "  file   =   ../" +
                                      otherFolder +
                                      "/boot.bin  \n"
                                      "methods = tftp\n"
                                      "name = boot-loader.bin\n"
                                      "[image]\r\n"
                                      "file = " +
                                      wrt +
                                      "\r\n"
                                      "models = matching\r\n"
                                      "section = 1\r\n");
    const std::string extra = file("hello.msg", "HELLO");

    ASSERT_EQ(run({"pack", "--manifest", path, "-o", output(), program, extra + ":0x0400"}), 0) << err.str();
    const std::string want = composed(
        {{"main.bin", 0x080D, bytesOf("MAIN")},
         {"control.cfg", 0x1000, recordWithDefaultTextsOf({{0, "192.168.1.1"}, {36, "\x02"}, {117, "\x9F"}})},
         {"boot-loader.bin", 0x0809, bytesOf("BOOT")},
         {"wrt.bin", 0x081E, bytesOf("WRT")},
         {"hello.msg", 0x0400, bytesOf("HELLO")}});
    EXPECT_EQ(readText(output()), want);
    EXPECT_EQ(out.str(), "fwbundle: wrote " + output() + " with 5 record(s), " + std::to_string(want.size()) +
                             " bytes\n");
    EXPECT_FALSE(fw::fileExists(output() + ".partial"));
}

struct ManifestCase {
    const char* label;
    friend void PrintTo(const ManifestCase& c, std::ostream* os) { *os << c.label; }
    std::string manifest;
    std::string error;                // what the error line says after "fwbundle: DIR/"
    int status = 2;                   // 1 for what cannot be read
    std::vector<std::string> extra{}; // arguments after the manifest's; '@' stands for the directory
};

class ManifestRefused : public ManifestPack, public ::testing::WithParamInterface<ManifestCase> {};

TEST_P(ManifestRefused, WithTheLineItsStatusAndNoOutputFile)
{
    file("a.bin", "A");
    std::vector<std::string> args{"pack",  "-o",         output(),
                                  program, "--manifest", manifest(GetParam().manifest)};
    for (std::string arg : GetParam().extra) {
        if (const auto at = arg.find('@'); at != std::string::npos) arg.replace(at, 1, dir->prefix());
        args.push_back(arg);
    }
    EXPECT_EQ(run(args), GetParam().status);
    EXPECT_THAT(err.str(), StartsWith("fwbundle: "));
    EXPECT_THAT(err.str(), HasSubstr(GetParam().error));
    EXPECT_FALSE(fw::fileExists(output()));
    EXPECT_FALSE(fw::fileExists(output() + ".partial"));
}

std::string images(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) text += "[image]\nfile = i" + std::to_string(i) + ".bin\n";
    return text;
}

std::string settingsWith(const std::string& lines)
{
    return "[settings]\nmethod = put\n" + lines + "\n";
}

std::string getOf(const std::string& file, const std::string& offset, const std::string& length,
                  const std::string& lines = "")
{
    return "[settings]\nmethod = get\nget-file = " + file + "\nget-offset = " + offset +
           "\nget-length = " + length + "\n" + lines + "\n";
}

std::string imageWith(const std::string& lines)
{
    return "[image]\nfile = a.bin\n" + lines + "\n";
}

// The lines follow from line 4 on.
std::string messageWith(const std::string& lines)
{
    return "[message]\nfile = a.bin\nshown = transfers\n" + lines + "\n";
}

std::string startMessageWith(const std::string& lines)
{
    return "[message]\nfile = a.bin\nshown = start\n" + lines + "\n";
}

const std::string k17(17, 'x');

INSTANTIATE_TEST_SUITE_P(
    Manifests, ManifestRefused,
    ::testing::Values(
        // The lines themselves.
        ManifestCase{"ALineWithoutEquals", "[image]\nfile main.bin\n",
                     "manifest.txt:2: expected 'key = value'"},
        ManifestCase{"AKeyBeforeAnySection", "\n# first\nfile = a.bin\n",
                     "manifest.txt:3: 'file' comes before any [section]"},
        ManifestCase{"AnUnclosedHeader", "[image\nfile = a.bin\n",
                     "manifest.txt:1: a section header reads '[name]'"},
        ManifestCase{"AHeaderWithoutName", "[ ]\n", "manifest.txt:1: a section header reads '[name]'"},
        ManifestCase{"NoKeyBeforeEquals", "[image]\n= a.bin\n", "manifest.txt:2: no key before '='"},
        ManifestCase{"AKeyGivenTwice", "[image]\nfile = a.bin\n\nfile = b.bin\n",
                     "manifest.txt:4: 'file' is given twice in [image] (first on line 2)"},
        ManifestCase{"AZeroByteInALine", settingsWith(std::string{"password = a\0b", 14}),
                     "manifest.txt:3: the line holds a zero byte"},
        ManifestCase{"AnUnclosedQuote", settingsWith("password = \"abc"),
                     "manifest.txt:3: the quoted value has no closing quote"},
        ManifestCase{"AnUnknownEscape", settingsWith("password = \"a\\nb\""),
                     "manifest.txt:3: a quoted value knows only the escapes"},
        ManifestCase{"AShortHexEscape", settingsWith("password = \"\\x4\""),
                     "manifest.txt:3: a quoted value knows only the escapes"},
        ManifestCase{"AnEscapedZeroByte", settingsWith("password = \"a\\x00\""),
                     "manifest.txt:3: \\x00: a text cannot hold a zero byte"},
        ManifestCase{"TextAfterTheClosingQuote", settingsWith("password = \"a\" b"),
                     "manifest.txt:3: nothing may follow the closing quote"},
        // Sections and records.
        ManifestCase{"AnUnknownSection", "[images]\nfile = a.bin\n",
                     "manifest.txt:1: unknown section [images]; expected [image], [settings] or [message]"},
        ManifestCase{"ASecondSettingsSection", settingsWith("") + images(1) + settingsWith(""),
                     "manifest.txt:6: a manifest holds one [settings] section, the first is on line 1"},
        ManifestCase{"NothingToPack", "# only a comment\n\n",
                     "manifest.txt: names no record: no [image], [settings] or [message]"},
        ManifestCase{"SixtyFiveRecords", images(64) + settingsWith(""),
                     "manifest.txt:129: a bundle holds at most 64 records"},
        ManifestCase{"SixtyFiveWithTheRawFiles", settingsWith(""),
                     "at most 64 files fit in a bundle, 65 given", 2,
                     std::vector<std::string>(64, "@a.bin:0x080D")},
        ManifestCase{"TwoImagesOfOneName", "[image]\nfile = a.bin\n[image]\nfile = other/a.bin\n",
                     "manifest.txt:4: a second record named 'a.bin' (the first is on line 2)"},
        ManifestCase{"AnImageNamedLikeTheSettings", settingsWith("") + imageWith("name = control.cfg"),
                     "manifest.txt:6: a second record named 'control.cfg' (the first is on line 1)"},
        ManifestCase{"ARawFileOfAManifestRecordsName",
                     imageWith(""),
                     "'a.bin': a record of this name is already",
                     2,
                     {"@a.bin:0x0809"}},
        ManifestCase{"ARawSettingsFileBesideTheSettingsSection",
                     settingsWith(""),
                     "'a.bin': the bundle already holds a settings record",
                     2,
                     {"@a.bin:0x1000"}},
        ManifestCase{
            "ASecondManifest", imageWith(""), "--manifest is given twice", 2, {"--manifest", "@a.bin"}},
        ManifestCase{
            "AManifestWithoutName", imageWith(""), "--manifest needs a file name", 2, {"--manifest"}},
        // Images.
        ManifestCase{"AnImageWithoutFile", "[image]\nmethods = tftp\n",
                     "manifest.txt:1: [image] needs 'file = PATH'"},
        ManifestCase{"AnEmptyFile", "[image]\nfile =\n", "manifest.txt:2: file: names no file"},
        ManifestCase{"AFileEndingInASlash", "[image]\nfile = images/\n",
                     "manifest.txt:2: '' is no record name"},
        ManifestCase{"ANameWithASlash", imageWith("name = a/b"), "manifest.txt:3: 'a/b' is no record name"},
        ManifestCase{"ANameOfThirtyTwoCharacters", imageWith("name = " + std::string(32, 'n')),
                     "manifest.txt:3: '" + std::string(32, 'n') +
                         "': a record name holds at most 31 characters"},
        ManifestCase{"AFileNameOfThirtyTwoCharacters", "[image]\nfile = dir/" + std::string(32, 'f') + "\n",
                     "manifest.txt:2: '" + std::string(32, 'f') + "': a record name holds at most 31"},
        ManifestCase{"AnUnknownImageKey", imageWith("method = tftp"),
                     "manifest.txt:3: unknown key 'method' in [image]"},
        ManifestCase{"HttpWithoutFtp", imageWith("methods = http tftp"),
                     "manifest.txt:3: methods: http and ftp go together"},
        ManifestCase{"FtpWithoutHttp", imageWith("methods = ftp"),
                     "manifest.txt:3: methods: http and ftp go together"},
        ManifestCase{
            "AnUnknownMethod", imageWith("methods = http ftp smtp"),
            "manifest.txt:3: methods: expected some of http, ftp or tftp separated by blanks, or all; "
            "'smtp' is not one of them"},
        ManifestCase{"NoMethodAtAll", imageWith("methods = none"),
                     "manifest.txt:3: methods: expected some of"},
        ManifestCase{"EmptyMethods", imageWith("methods ="), "manifest.txt:3: methods: expected some of"},
        ManifestCase{"AMethodTwice", imageWith("methods = tftp tftp"),
                     "manifest.txt:3: methods: 'tftp' is named twice"},
        ManifestCase{"UnknownModels", imageWith("models = all"),
                     "manifest.txt:3: models: expected any, matching or both, not 'all'"},
        ManifestCase{"SectionSixteen", imageWith("section = 16"),
                     "manifest.txt:3: section: expected a section number from 0 to 15, not '16'"},
        ManifestCase{"ANegativeSection", imageWith("section = -1"), "manifest.txt:3: section: expected"},
        ManifestCase{"AHexadecimalSection", imageWith("section = 0x1"), "manifest.txt:3: section: expected"},
        ManifestCase{"KeepNameTrue", imageWith("keep-name = true"),
                     "manifest.txt:3: keep-name: expected yes or no, not 'true'"},
        // Settings.
        ManifestCase{"SettingsWithoutMethod", "[image]\nfile = a.bin\n[settings]\naddress = 10.0.0.1\n",
                     "manifest.txt:3: [settings] needs a method: get, put or set"},
        ManifestCase{"AnUnknownMethodName", "[settings]\nmethod = post\n",
                     "manifest.txt:2: method: expected get, put or set, not 'post'"},
        ManifestCase{"AnUnknownSettingsKey", settingsWith("adress = 10.0.0.1"),
                     "manifest.txt:3: unknown key 'adress' in [settings]"},
        ManifestCase{"AFileForGet", getOf("a", "0", "1", "file = main.bin"),
                     "manifest.txt:6: file: belongs to method put and set, not get"},
        ManifestCase{"AGetOffsetForPut", settingsWith("get-offset = 0"),
                     "manifest.txt:3: get-offset: belongs to method get, not put"},
        ManifestCase{"AGetFileForSet", "[settings]\nmethod = set\nget-file = a\n",
                     "manifest.txt:3: get-file: belongs to method get, not set"},
        ManifestCase{"GetWithoutLength", "[settings]\nmethod = get\nget-file = a\nget-offset = 0\n",
                     "manifest.txt:1: method get needs get-length"},
        ManifestCase{"GetWithoutFile", "[settings]\nmethod = get\nget-offset = 0\nget-length = 1\n",
                     "manifest.txt:1: method get needs get-file"},
        ManifestCase{
            "AGetOffsetThatIsNoNumber", getOf("a", "0x1G", "1"),
            "manifest.txt:4: get-offset: expected a number of bytes (decimal, or hexadecimal after 0x), "
            "not '0x1G'"},
        ManifestCase{
            "AnEmptyGetLength", getOf("a", "0", ""),
            "manifest.txt:5: get-length: expected a number of bytes (decimal, or hexadecimal after 0x), "
            "not ''"},
        ManifestCase{"AnAddressOfEighteen", settingsWith("address = " + k17 + "x"),
                     "manifest.txt:3: address: at most 17 characters fit, 18 given"},
        ManifestCase{"APasswordOfEighteen", settingsWith("password = \"" + k17 + " \""),
                     "manifest.txt:3: password: at most 17 characters fit, 18 given"},
        ManifestCase{"APutFileOfSixtyFour", settingsWith("file = " + std::string(64, 'f')),
                     "manifest.txt:3: file: at most 63 characters fit, 64 given"},
        ManifestCase{"ARomIdOfSixteen", settingsWith("rom-id = " + std::string(16, 'r')),
                     "manifest.txt:3: rom-id: at most 15 characters fit, 16 given"},
        ManifestCase{"AGetFileOfThirtyTwo", getOf(std::string(32, 'g'), "0", "1"),
                     "manifest.txt:3: get-file: at most 31 characters fit, 32 given"},
        ManifestCase{"AGetOffsetOfSixteen", getOf("a", std::string(16, '1'), "1"),
                     "manifest.txt:4: get-offset: at most 15 characters fit, 16 given"},
        ManifestCase{"AGetLengthOfSixteen", getOf("a", "0", std::string(16, '2')),
                     "manifest.txt:5: get-length: at most 15 characters fit, 16 given"},
        ManifestCase{"AFirstSearchAddressOfEighteen", settingsWith("search-address-1 = " + k17 + "x"),
                     "manifest.txt:3: search-address-1: at most 17 characters fit, 18 given"},
        ManifestCase{"AFourthSearchAddressOfEighteen", settingsWith("search-address-4 = " + k17 + "x"),
                     "manifest.txt:3: search-address-4: at most 17 characters fit, 18 given"},
        ManifestCase{"ACaptionOfThirtyTwo", settingsWith("caption = " + std::string(32, 'c')),
                     "manifest.txt:3: caption: at most 31 characters fit, 32 given"},
        ManifestCase{"ATimeoutOf128", settingsWith("timeout = 128"),
                     "manifest.txt:3: timeout: expected seconds (0 keeps the usual limit) from -128 to 127, "
                     "not '128'"},
        ManifestCase{"ATimeoutOfMinus129", settingsWith("timeout = -129"),
                     "manifest.txt:3: timeout: expected"},
        ManifestCase{"ATimeoutInWords", settingsWith("timeout = 10s"), "manifest.txt:3: timeout: expected"},
        ManifestCase{
            "AnUnknownProbe", settingsWith("probes = normal fast"),
            "manifest.txt:3: probes: expected some of normal, boot, crash or default separated by blanks, "
            "or all or none; 'fast' is not one of them"},
        ManifestCase{"NoProbesNamed", settingsWith("probes ="), "manifest.txt:3: probes: expected some of"},
        ManifestCase{"AllBesideAProbe", settingsWith("probes = all normal"),
                     "manifest.txt:3: probes: expected some of"},
        ManifestCase{"AnUnknownRelease", settingsWith("release = admin"),
                     "manifest.txt:3: release: expected user or factory, not 'admin'"},
        ManifestCase{"ALogOfAnotherSwitchsWord", settingsWith("log = on"),
                     "manifest.txt:3: log: expected shown or hidden, not 'on'"},
        ManifestCase{"ASectionCheckOfAnotherSwitchsWord", settingsWith("section-check = shown"),
                     "manifest.txt:3: section-check: expected on or off, not 'shown'"},
        ManifestCase{"AnUnknownMethodOrder", settingsWith("method-order = smtp"),
                     "manifest.txt:3: method-order: expected default, http, ftp or tftp, not 'smtp'"},
        // Messages.
        ManifestCase{"AMessageWithoutFile", "[message]\nshown = start\n",
                     "manifest.txt:1: [message] needs 'file = PATH'"},
        ManifestCase{"AMessageWithAnEmptyFile", "[message]\nfile =\nshown = start\n",
                     "manifest.txt:2: file: names no file"},
        ManifestCase{"AMessageWithoutShown", "[image]\nfile = a.bin\n[message]\nfile = a.bin\nname = m\n",
                     "manifest.txt:3: [message] needs shown = start, transfers, http-ftp or tftp"},
        ManifestCase{"AnUnknownShown", "[message]\nfile = a.bin\nshown = always\n",
                     "manifest.txt:3: shown: expected start, transfers, http-ftp or tftp, not 'always'"},
        ManifestCase{"ShownAsAWordSet", "[message]\nfile = a.bin\nshown = http-ftp tftp\n",
                     "manifest.txt:3: shown: expected start"},
        ManifestCase{"AnUnknownMessageKey", messageWith("colour = #FFFFFF"),
                     "manifest.txt:4: unknown key 'colour' in [message]"},
        ManifestCase{"AnImageKeyInAMessage", messageWith("methods = tftp"),
                     "manifest.txt:4: unknown key 'methods' in [message]"},
        ManifestCase{"AMessageKeyGivenTwice", messageWith("caption = a\ncaption = b"),
                     "manifest.txt:5: 'caption' is given twice in [message] (first on line 4)"},
        ManifestCase{"AMessageRecordNameWithASlash", messageWith("name = a/b"),
                     "manifest.txt:4: 'a/b' is no record name"},
        ManifestCase{"AMessageRecordNameOfThirtyTwo",
                     messageWith("name = " + std::string(32, 'n') + "\nmessage-name = m"),
                     "manifest.txt:4: '" + std::string(32, 'n') + "': a record name holds at most 31"},
        ManifestCase{"AMessageNameOfSixteen", messageWith("message-name = " + std::string(16, 'm')),
                     "manifest.txt:4: message-name: at most 15 characters fit, 16 given"},
        ManifestCase{"ARecordNameTooLongForTheMessageName", messageWith("name = " + std::string(16, 'n')),
                     "manifest.txt:4: '" + std::string(16, 'n') +
                         "': a message name holds at most 15 characters; give message-name"},
        ManifestCase{"AFileNameTooLongForTheMessageName",
                     "[message]\nfile = notes/" + std::string(16, 'f') + "\nshown = start\n",
                     "manifest.txt:2: '" + std::string(16, 'f') + "': a message name holds at most 15"},
        ManifestCase{"ACaptionOfSixtyFour", messageWith("caption = " + std::string(64, 'c')),
                     "manifest.txt:4: caption: at most 63 characters fit, 64 given"},
        ManifestCase{"ALiveTimeJustPastTheLongest", messageWith("live-time = 8.1"),
                     "manifest.txt:4: live-time: the program shows a message 8 seconds at the longest, "
                     "not 8.1"},
        ManifestCase{"ALiveTimeOfNine", messageWith("live-time = 9"),
                     "manifest.txt:4: live-time: the program shows a message 8 seconds at the longest"},
        ManifestCase{"ALiveTimeOfTwentyDigits", messageWith("live-time = " + std::string(20, '9')),
                     "manifest.txt:4: live-time: the program shows a message 8 seconds at the longest"},
        ManifestCase{"ALiveTimeInTenthsOfTheLongest", messageWith("live-time = 80"),
                     "manifest.txt:4: live-time: the program shows a message 8 seconds at the longest"},
        ManifestCase{"ANegativeLiveTime", messageWith("live-time = -1"),
                     "manifest.txt:4: live-time: expected seconds from 0 to 8 with at most one decimal, "
                     "as 5 or 0.5, 0 keeping the window until it is closed; not '-1'"},
        ManifestCase{"ALiveTimeInHundredths", messageWith("live-time = 0.05"),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"ALiveTimeEndingInAPoint", messageWith("live-time = 5."),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"ALiveTimeStartingWithAPoint", messageWith("live-time = .5"),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"ALiveTimeWithADecimalComma", messageWith("live-time = 0,5"),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"ALiveTimeWithAUnit", messageWith("live-time = 5s"),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"ALiveTimeWithAPlusSign", messageWith("live-time = +5"),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"AnEmptyLiveTime", messageWith("live-time ="),
                     "manifest.txt:4: live-time: expected seconds"},
        ManifestCase{"UnknownMessageModels", messageWith("models = all"),
                     "manifest.txt:4: models: expected any, matching or both, not 'all'"},
        ManifestCase{"AStartMessageForMatchingModelsOnly", startMessageWith("models = matching"),
                     "manifest.txt:4: models: with shown = start, a message for matching models only is "
                     "shown when its message name begins with VELT and goes on after it; 'a.bin' would "
                     "never be shown"},
        ManifestCase{"AStartMessageForMatchingModelsNamedJustVelt",
                     startMessageWith("message-name = VELT\nmodels = matching"),
                     "manifest.txt:5: models: with shown = start, a message for matching models only"},
        ManifestCase{"AStartMessageForMatchingModelsNamedInSmallLetters",
                     startMessageWith("models = matching\nmessage-name = velt-a"),
                     "manifest.txt:4: models: with shown = start, a message for matching models only"},
        ManifestCase{"ABackgroundWithoutHash", messageWith("background = 112233"),
                     "manifest.txt:4: background: expected #RRGGBB, six hexadecimal digits, not '112233'"},
        ManifestCase{"ABackgroundOfFiveDigits", messageWith("background = #12345"),
                     "manifest.txt:4: background: expected #RRGGBB"},
        ManifestCase{"ABackgroundOfSevenDigits", messageWith("background = #1234567"),
                     "manifest.txt:4: background: expected #RRGGBB"},
        ManifestCase{"ABackgroundThatIsNotHexadecimal", messageWith("background = #12345G"),
                     "manifest.txt:4: background: expected #RRGGBB"},
        ManifestCase{"ABackgroundWithASign", messageWith("background = #+12345"),
                     "manifest.txt:4: background: expected #RRGGBB"},
        ManifestCase{"ABackgroundInWords", messageWith("background = white"),
                     "manifest.txt:4: background: expected #RRGGBB"},
        ManifestCase{"AnUnknownTextWord", messageWith("text = blink"),
                     "manifest.txt:4: text: expected blinking or steady, not 'blink'"},
        ManifestCase{"AMessageNamedLikeAnImage",
                     imageWith("") + "[message]\nfile = other/a.bin\nshown = start\n",
                     "manifest.txt:5: a second record named 'a.bin' (the first is on line 2)"},
        ManifestCase{"AMessageNamedLikeTheSettings", settingsWith("") + messageWith("name = control.cfg"),
                     "manifest.txt:7: a second record named 'control.cfg' (the first is on line 1)"},
        ManifestCase{"ARawFileOfAMessagesName",
                     messageWith(""),
                     "'a.bin': a record of this name is already",
                     2,
                     {"@a.bin:0x0401"}},
        ManifestCase{"AMissingMessageText", "[message]\nfile = missing.txt\nshown = start\n",
                     "manifest.txt:2: cannot read '", 1},
        // What cannot be read.
        ManifestCase{"AMissingImageFile", "[image]\nfile = missing.bin\n", "manifest.txt:2: cannot read '",
                     1},
        ManifestCase{"AnImageFileThatIsAFolder", "[image]\nfile = .\nname = here\n",
                     "manifest.txt:2: cannot read '", 1}),
    [](const auto& info) { return std::string(info.param.label); });

// Two messages around an image; the welcome's text lies at welcomePath.
std::string messagesManifest(const std::string& welcomePath)
{
    return "[message]\n"
           "file = " +
           welcomePath +
           "\n"
           "name = welcome\n"
           "message-name = VELT-welcome\n"
           "caption = Welcome\n"
           "live-time = 0.5\n"
           "shown = start\n"
           "models = matching\n"
           "background = #112233\n"
           "text = steady\n"
           "[image]\n"
           "file = main.bin\n"
           "[message]\n"
           "file = bye.txt\n"
           "shown = tftp\n"
           "text = blinking\n";
}

TEST_F(ManifestPack, PacksEachMessageAsItsHeaderAndItsTextInTheManifestsOrder)
{
    // The welcome's text lies in a folder next to the manifest's.
    const auto other = fw::TempDir::create("fwtest-other-");
    ASSERT_TRUE(other);
    writeFile(*other, "welcome.rtf", fw::asBytes("{\\rtf1 Hello}"));
    const std::string otherFolder = other->path().substr(other->path().rfind('/') + 1);
    file("main.bin", "MAIN");
    file("bye.txt", "Bye");
    const std::string path = manifest(messagesManifest("../" + otherFolder + "/welcome.rtf"));
    ASSERT_EQ(run({"pack", "-o", output(), program, "--manifest", path}), 0) << err.str();
    using namespace std::string_view_literals;
    EXPECT_EQ(
        readText(output()),
        composed({{"welcome", 0x0402,
                   messageRecordOf({{0, "VELT-welcome"},
                                    {16, "Welcome"},
                                    {80, "\x05\x00"sv},
                                    {82, "\x01\x01"sv},
                                    {118, "\x0D\x00"sv},
                                    {120, "\x11\x22\x33\x00"sv},
                                    {124, "\x01"}},
                                   "{\\rtf1 Hello}")},
                  {"main.bin", 0x080D, bytesOf("MAIN")},
                  {"bye.txt", 0x0401,
                   messageRecordOf({{0, "bye.txt"}, {83, "\x01"}, {118, "\x03\x00"sv}, {120, "\xFF\xFF\xFF"}},
                                   "Bye")}}));
}

TEST_F(ManifestPack, ListsPackedMessagesAsSectionsThatPackTheSameBytesAgain)
{
    file("main.bin", "MAIN");
    file("bye.txt", "Bye");
    file("welcome.rtf", "{\\rtf1 Hello}");
    ASSERT_EQ(run({"pack", "-o", output(), program, "--manifest", manifest(messagesManifest("welcome.rtf"))}),
              0)
        << err.str();
    ASSERT_EQ(run({"list", output()}), 0) << err.str();
    const std::string listed = out.str();
    EXPECT_THAT(listed, HasSubstr("\n# record 0, welcome\n[message]\nname = welcome\n"
                                  "# text: 13 bytes, RTF; file names where it is kept\nfile = welcome\n"));
    EXPECT_THAT(listed, HasSubstr("\n# record 2, bye.txt\n[message]\nname = bye.txt\n"
                                  "# text: 3 bytes, plain text; file names where it is kept\n"));

    // The listing's sections, with an [image] for the record they do not decode, as a manifest beside
    // the texts kept under their record names.
    const auto again = fw::TempDir::create("fwtest-again-");
    ASSERT_TRUE(again);
    writeFile(*again, "welcome", fw::asBytes("{\\rtf1 Hello}"));
    writeFile(*again, "main.bin", fw::asBytes("MAIN"));
    writeFile(*again, "bye.txt", fw::asBytes("Bye"));
    const std::size_t first = listed.find("\n# record 0");
    const std::size_t second = listed.find("\n# record 2");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(second, std::string::npos);
    const std::string text =
        listed.substr(first, second - first) + "[image]\nfile = main.bin\n" + listed.substr(second);
    const std::string path = writeFile(*again, "manifest.txt", fw::asBytes(text));
    const std::string packed = again->prefix() + "out";
    ASSERT_EQ(run({"pack", "-o", packed, program, "--manifest", path}), 0) << err.str() << text;
    EXPECT_EQ(readText(packed), readText(output())) << text;
}

TEST_F(ManifestPack, TakesAMessageTextOf65535BytesAndRefusesOneByteMore)
{
    const std::string longest(65535, 't');
    file("text.txt", longest);
    const std::string path = manifest("[message]\nfile = text.txt\nshown = start\n");
    ASSERT_EQ(run({"pack", "-o", output(), program, "--manifest", path}), 0) << err.str();
    using namespace std::string_view_literals;
    EXPECT_EQ(readText(output()), composed({{"text.txt", 0x0401,
                                             messageRecordOf({{0, "text.txt"},
                                                              {82, "\x01\x01"sv},
                                                              {118, "\xFF\xFF"sv},
                                                              {120, "\xFF\xFF\xFF"},
                                                              {124, "\x01"}},
                                                             longest)}}));

    fw::removeFile(output());
    file("text.txt", longest + "t");
    EXPECT_EQ(run({"pack", "-o", output(), program, "--manifest", path}), 2);
    EXPECT_EQ(err.str(), "fwbundle: " + path + ":2: file: '" + dir->prefix() +
                             "text.txt' holds 65536 bytes; a message text holds at most 65535\n"
                             "Try 'fwbundle --help' for more information.\n");
    EXPECT_FALSE(fw::fileExists(output()));
    EXPECT_FALSE(fw::fileExists(output() + ".partial"));
}

TEST_F(ManifestPack, RefusesAManifestThatCannotBeRead)
{
    EXPECT_EQ(run({"pack", "-o", output(), program, "--manifest", dir->prefix() + "missing.txt"}), 1);
    EXPECT_EQ(err.str(), "fwbundle: cannot read '" + dir->prefix() + "missing.txt'\n");
    EXPECT_FALSE(fw::fileExists(output()));
}

} // namespace
