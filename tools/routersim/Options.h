// tools/routersim/Options.h: the command line of routersim and its parser.
#pragma once

#include "tools/routersim/Device.h"
#include "tools/routersim/FtpSettings.h"
#include "tools/routersim/LoaderSettings.h"
#include "tools/routersim/WebSettings.h"

#include <string>
#include <vector>

namespace routersim {

struct Options {
    std::vector<Device> devices;
    LoaderSettings loader; // its storeDir also takes the web uploads
    WebSettings web;       // its password is also the FTP user's
    FtpSettings ftp;
    bool help = false;
};

struct ParsedOptions {
    Options options;
    std::string error; // empty: the command line was good
};

ParsedOptions parseOptions(int argc, char** argv);

// Parses one SPEC of --device, e.g. "addr=192.168.0.1,module=XY,detail=1.0,answers=normal+boot".
// Returns the error text, empty on success.
std::string parseDeviceSpec(const std::string& spec, Device& device);

const char* usageText();

} // namespace routersim
