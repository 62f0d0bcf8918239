// tools/routersim/LoaderSettings.h: how the TFTP loaders of the crashed devices behave, from the command
// line.
#pragma once

#include "tools/routersim/TftpBootLoader.h"

#include <chrono>
#include <string>

namespace routersim {

struct LoaderSettings {
    std::string storeDir;             // empty: no device has a loader
    bool ackFromTransferPort = false; // true: replies of a transfer go from a new port of its own
    std::chrono::milliseconds ackDelay{0};
    std::chrono::milliseconds rebootTime{1500};
    std::string recoveredDetail = "recovered";
    LoaderFaults faults;
};

} // namespace routersim
