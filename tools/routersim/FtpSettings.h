// tools/routersim/FtpSettings.h: how the FTP servers of the devices behave, from the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace routersim {

constexpr std::uint16_t kFtpPort = 21;
constexpr char kFtpUser[] = "root";

struct FtpSettings {
    bool refuseLogin = false;                // every login answers 530
    std::optional<std::string> refuseName;   // a STOR of this name answers 550 before any data
    std::optional<std::string> reply429Name; // a STOR of this name is stored, then answered 429
    std::optional<std::uint64_t> stallAfter; // data bytes of a STOR read before the server stops reading
    bool getRefuse = false;                  // every RETR of an "offset#length" name answers 550
    bool getError = false;                   // every RETR of an "offset#length" name answers 451
    std::string dataImagePath; // empty: the built-in image, written to a private folder of the run
};

} // namespace routersim
