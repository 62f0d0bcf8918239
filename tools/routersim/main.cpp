// tools/routersim/main.cpp: stages the devices of the command line and serves them until SIGTERM or SIGINT;
// the FTP servers of the devices are child processes that end with it.
#include "tools/routersim/BootLoaderService.h"
#include "tools/routersim/DiscoveryResponder.h"
#include "tools/routersim/EventLoop.h"
#include "tools/routersim/FtpService.h"
#include "tools/routersim/Log.h"
#include "tools/routersim/Options.h"
#include "tools/routersim/UdpPort.h"
#include "tools/routersim/WebService.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

int main(int argc, char** argv)
{
    using namespace routersim;
    const ParsedOptions parsed = parseOptions(argc, argv);
    if (parsed.options.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "routersim: %s\nTry 'routersim --help'.\n", parsed.error.c_str());
        return 2;
    }
    // Not const: a reboot of a crashed device changes what it answers.
    std::vector<Device> devices = parsed.options.devices;

    EventLoop loop;
    if (std::string error = loop.catchStopSignals(); !error.empty()) {
        logLine(error);
        return 1;
    }
    for (const Device& device : devices) {
        if (std::string error = checkLocalAddress(device.address); !error.empty()) {
            logLine(error);
            return 1;
        }
        std::error_code ignored;
        const bool storing =
            device.bootLoader || device.ftp || (device.web && !parsed.options.loader.storeDir.empty());
        if (storing && !std::filesystem::is_directory(parsed.options.loader.storeDir, ignored)) {
            logLine("--store " + parsed.options.loader.storeDir + " is not a folder");
            return 1;
        }
    }
    UdpPorts ports;
    DiscoveryResponder discovery{devices};
    discovery.attach(ports); // first: the crash probe on port 69 is the responder's, the rest the loaders'
    BootLoaderService loaders{devices, parsed.options.loader, loop};
    loaders.attach(ports);
    if (std::string error = ports.openAll(loop); !error.empty()) {
        logLine(error);
        return 1;
    }
    WebService web{devices, parsed.options.web, parsed.options.loader.storeDir, loop};
    if (std::string error = web.open(); !error.empty()) {
        logLine(error);
        return 1;
    }
    // Started last, so that a socket routersim cannot bind leaves no child behind; routersim is ready only
    // once each of them is.
    FtpService ftp{devices, parsed.options.ftp, parsed.options.web.password, parsed.options.loader.storeDir,
                   loop};
    if (std::string error = ftp.start(std::chrono::seconds(10)); !error.empty()) {
        logLine(error);
        return 1;
    }
    std::string webPorts;
    for (std::uint16_t port : parsed.options.web.ports())
        webPorts += (webPorts.empty() ? "" : ", ") + std::to_string(port);
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const Device& d = devices[i];
        logLine("device " + std::to_string(i + 1) + " at " + d.addressText + ": module '" + d.module +
                "', detail '" + d.detail + "'" + (d.bootLoader ? ", TFTP loader on" : "") +
                (d.web ? ", web on TCP " + webPorts : "") + (d.ftp ? ", FTP on TCP 21" : ""));
    }
    std::fputs("routersim: ready\n", stdout);
    std::fflush(stdout);

    if (std::string error = loop.run(); !error.empty()) {
        logLine(error);
        return 1;
    }
    logLine(std::string("ending on SIG") + sigabbrev_np(loop.stopSignal()));
    return 0;
}
