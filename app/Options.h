#pragma once
// Our own options: arguments beginning with "--", taken out before the positional command line.
#include <string>
#include <vector>

struct Options {
    bool help = false;
    bool version = false;
    bool listInterfaces = false;
    std::string interfaceName; // the search's network interface; empty: the system's routing decides
    std::vector<std::string> positional; // the command line the window reads
    std::string error;                   // set for an unknown or malformed option
};

// args without the program name. "--" alone ends the options: what follows is positional.
// interfaceDefault is FWUPGRADE_INTERFACE; --interface overrides it.
Options parseOptions(const std::vector<std::string>& args, const std::string& interfaceDefault = {});

std::string usageText(const std::string& program);
std::string versionText();
