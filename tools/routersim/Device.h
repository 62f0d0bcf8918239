// tools/routersim/Device.h: one simulated device as the command line stages it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <netinet/in.h>
#include <optional>
#include <string>

namespace routersim {

// The probes of the device search; a device answers each one only when it is switched on for it.
enum class Probe : unsigned { Normal = 1, Boot = 2, Crash = 4, Default = 8 };

struct ProbeSet {
    unsigned bits = 0;
    bool has(Probe probe) const { return (bits & static_cast<unsigned>(probe)) != 0; }
    void add(Probe probe) { bits |= static_cast<unsigned>(probe); }
};

// The normal reply holds the detail text at byte 12 and the module text at byte 44 of 68, each with its
// zero byte, so these are the longest texts every reply has room for.
constexpr std::size_t kMaxModuleLength = 68 - 44 - 1;
constexpr std::size_t kMaxDetailLength = 44 - 12 - 1;
// The largest UDP payload of one IPv4 datagram.
constexpr std::size_t kMaxDatagramLength = 65507;

struct Device {
    in_addr address{};       // replies leave from here; probes unicast here are answered
    std::string addressText; // the same, as given, for the log
    std::string module;
    std::string detail;
    ProbeSet answers;
    std::optional<std::size_t> replyLength; // set: every reply is cut to this many bytes
    bool bootLoader = false;                // its TFTP loader takes writes and the reboot request on port 69
    bool web = false;                       // its web interface serves TCP port 80 (and redirect ports)
    bool ftp = false;                       // its FTP server (a child process) serves TCP port 21
};

} // namespace routersim
