#include "app/Options.h"

Options parseOptions(const std::vector<std::string>& args, const std::string& interfaceDefault)
{
    Options options;
    options.interfaceName = interfaceDefault;
    bool optionsEnded = false;
    const auto fail = [&](std::string text) {
        if (options.error.empty()) options.error = std::move(text);
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || !arg.starts_with("--")) {
            options.positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--list-interfaces") {
            options.listInterfaces = true;
        } else if (arg == "--interface") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                fail("--interface needs an interface name");
            } else {
                options.interfaceName = args[++i];
            }
        } else if (arg.starts_with("--interface=")) {
            options.interfaceName = arg.substr(std::string_view{"--interface="}.size());
            if (options.interfaceName.empty()) fail("--interface needs an interface name");
        } else {
            fail("unknown option '" + arg + "'");
        }
    }
    return options;
}

std::string usageText(const std::string& program)
{
    return "Usage: " + program + R"( [OPTIONS] [MODE ADDRESS PASSWORD ROMID [ARGS...]]

Upgrades and recovers the firmware of routers on the local network, with the images
bundled into this program file.

Modes (any of ADDRESS, PASSWORD, ROMID may be "null" for empty):
  set ADDRESS PASSWORD ROMID [FILE] [log]   preset the device, password, ROM ID and
                                            upgrade file, then wait for the user
  put ADDRESS PASSWORD ROMID [FILE] [log]   upgrade the device without the user
  get ADDRESS PASSWORD ROMID OFFSET LENGTH LOCALFILE
                                            save LENGTH bytes of the device's stored
                                            data from OFFSET (decimal or 0x hex)
  "log" shows the System Log panel. Without a mode the bundled control.cfg decides.

Options:
  --interface NAME    search for devices through this network interface only (also
                      FWUPGRADE_INTERFACE=NAME); without it the system's routing decides
  --list-interfaces   show the network interfaces with their state, kind and addresses
  --help              show this text and exit
  --version           show the version lines and exit

Console front end:
  With FWUPGRADE_CONSOLE=1, or when no display is set (DISPLAY, WAYLAND_DISPLAY and
  QT_QPA_PLATFORM empty), the program runs without a window: log lines go to standard
  output, "[status] ..." and "[box] ..." lines to standard error, every box is answered
  with its first button, and the program ends when it would wait for a person.
  FWUPGRADE_CONSOLE=0 forces the window.

Exit status:
  0  the last run succeeded
  1  a run failed or was refused
  2  the program could not start (bundle or settings unreadable, bad option)
  3  no run was started and a person is needed
  128+N  ended by signal N
)";
}

std::string versionText()
{
    return "Program Version V1.1.1e\nProgram build at 2002/02/19 pm 1:48\n";
}
