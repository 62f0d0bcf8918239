// fwupgrade: the program entry. Takes out our own options, makes the private temporary directory,
// and runs the window or the console front end.
#include "app/ExitStatus.h"
#include "app/FrontEndChoice.h"
#include "app/Options.h"
#include "app/console/ConsoleFrontEnd.h"
#include "app/qt/WindowFrontEnd.h"
#include "platform/TempDir.h"
#include "platform/posix/IcmpPing.h"
#include "platform/posix/NetworkInterfaces.h"
#include "platform/posix/OwnExecutable.h"
#include "platform/posix/SignalCleanup.h"
#include "platform/posix/UdpProbeSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

int main(int argc, char** argv)
{
    const char* interfaceVariable = std::getenv("FWUPGRADE_INTERFACE");
    const Options options = parseOptions({argv + 1, argv + argc}, interfaceVariable ? interfaceVariable : "");
    if (!options.error.empty()) {
        std::cerr << "fwupgrade: " << options.error << "\nTry 'fwupgrade --help' for more information.\n";
        return kExitCannotStart;
    }
    if (options.help) {
        std::cout << usageText("fwupgrade");
        return 0;
    }
    if (options.version) {
        std::cout << versionText();
        return 0;
    }
    if (options.listInterfaces) {
        std::cout << fw::describeInterfaces(fw::networkInterfaces());
        return 0;
    }
    if (!options.interfaceName.empty() && !fw::interfaceExists(options.interfaceName)) {
        std::cerr << "fwupgrade: no network interface named '" << options.interfaceName
                  << "' (see fwupgrade --list-interfaces)\n";
        return kExitCannotStart;
    }

    auto temp = fw::TempDir::create();
    if (!temp) {
        std::cerr << "fwupgrade: cannot make a temporary directory in " << fw::temporaryRoot() << ": "
                  << std::strerror(errno) << '\n';
        return kExitCannotStart;
    }
    fw::startSignalCleanup(temp->path()); // before any other thread exists

    fw::UdpProbeSocket probeSocket{options.interfaceName};
    fw::IcmpPing echo{options.interfaceName};
    const NetworkParts network{probeSocket, echo};
    const fw::OwnExecutable self = fw::ownExecutable();
    StartContext context{options.positional, self.path, self.openPath, temp->prefix()};
    // Qt may keep its own arguments; ours were taken out already.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    if (useConsole([](const char* name) { return std::getenv(name); }))
        return runConsole(qtArgc, qtArgv, network, std::move(context));
    return runWindow(qtArgc, qtArgv, network, std::move(context));
}
