// Our own options and the choice of front end.
#include "app/Options.h"
#include "app/FrontEndChoice.h"

#include <gtest/gtest.h>
#include <map>

namespace {

TEST(Options, AreTakenOutBeforeThePositionalCommandLine)
{
    const Options o = parseOptions({"put", "--version", "10.0.0.1", "--help", "null", "null"});
    EXPECT_TRUE(o.help);
    EXPECT_TRUE(o.version);
    EXPECT_EQ(o.positional, (std::vector<std::string>{"put", "10.0.0.1", "null", "null"}));
    EXPECT_TRUE(o.error.empty());
}

TEST(Options, AnUnknownOptionIsAnError)
{
    EXPECT_EQ(parseOptions({"--frobnicate", "--help"}).error, "unknown option '--frobnicate'");
}

TEST(Options, InterfaceComesFromTheOptionOrTheEnvironment)
{
    EXPECT_EQ(parseOptions({"--interface", "eth0", "put"}).interfaceName, "eth0");
    EXPECT_EQ(parseOptions({"--interface=wlan0"}).interfaceName, "wlan0");
    EXPECT_EQ(parseOptions({}, "enp3s0").interfaceName, "enp3s0");
    EXPECT_EQ(parseOptions({"--interface", "eth1"}, "enp3s0").interfaceName, "eth1");
    EXPECT_EQ(parseOptions({"--interface"}).error, "--interface needs an interface name");
    EXPECT_EQ(parseOptions({"--interface="}).error, "--interface needs an interface name");
    EXPECT_EQ(parseOptions({"--interface", "eth0", "put"}).positional, (std::vector<std::string>{"put"}));
    EXPECT_TRUE(parseOptions({"--list-interfaces"}).listInterfaces);
}

TEST(Options, DoubleDashEndsTheOptions)
{
    const Options o = parseOptions({"--", "--help", "x"});
    EXPECT_FALSE(o.help);
    EXPECT_EQ(o.positional, (std::vector<std::string>{"--help", "x"}));
}

TEST(Options, UsageNamesTheModesAndTheExitStatuses)
{
    const std::string usage = usageText("fwupgrade");
    for (const char* word : {"put ADDRESS", "set ADDRESS", "get ADDRESS", "--help", "--version",
                             "FWUPGRADE_CONSOLE", "Exit status"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
}

TEST(FrontEndChoice, ConsoleWhenAskedOrWithoutADisplay)
{
    struct Case {
        std::map<std::string, std::string> env;
        bool console;
    };
    const Case cases[] = {
        {{}, true},
        {{{"DISPLAY", ":0"}}, false},
        {{{"WAYLAND_DISPLAY", "wayland-0"}}, false},
        {{{"QT_QPA_PLATFORM", "offscreen"}}, false},
        {{{"DISPLAY", ""}}, true},
        {{{"DISPLAY", ":0"}, {"FWUPGRADE_CONSOLE", "1"}}, true},
        {{{"FWUPGRADE_CONSOLE", "0"}}, false},
    };
    for (const Case& c : cases) {
        const bool console = useConsole([&](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(console, c.console) << (c.env.empty() ? "empty" : c.env.begin()->first);
    }
}

} // namespace
