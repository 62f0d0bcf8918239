#pragma once
// The machine's network interfaces, for choosing the one the device search uses.
#include <string>
#include <vector>

namespace fw {

struct NetworkInterface {
    std::string name;
    bool up = false;
    std::vector<std::string> addresses; // IPv4, with prefix length: 192.168.0.10/24
    std::string kind;                   // "wired", "wireless" or "virtual"
};

std::vector<NetworkInterface> networkInterfaces();
bool interfaceExists(const std::string& name);
// One line per interface: name, state, kind, addresses.
std::string describeInterfaces(const std::vector<NetworkInterface>& interfaces);

} // namespace fw
