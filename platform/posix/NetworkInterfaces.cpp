#include "platform/posix/NetworkInterfaces.h"

#include <algorithm>
#include <arpa/inet.h>
#include <bit>
#include <ifaddrs.h>
#include <net/if.h>
#include <sys/stat.h>

namespace fw {
namespace {

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string kindOf(const std::string& name)
{
    const std::string base = "/sys/class/net/" + name;
    if (exists(base + "/wireless") || exists(base + "/phy80211")) return "wireless";
    if (!exists(base + "/device")) return "virtual"; // loopback, veth, bridges, tunnels
    return "wired";
}

} // namespace

std::vector<NetworkInterface> networkInterfaces()
{
    std::vector<NetworkInterface> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return found;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        auto it = std::find_if(found.begin(), found.end(),
                               [&](const auto& i) { return i.name == entry->ifa_name; });
        if (it == found.end()) {
            found.push_back({entry->ifa_name, (entry->ifa_flags & IFF_UP) != 0, {}, kindOf(entry->ifa_name)});
            it = found.end() - 1;
        }
        if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET) {
            char text[INET_ADDRSTRLEN] = {};
            ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr, text,
                        sizeof text);
            int prefix = 0;
            if (entry->ifa_netmask)
                prefix =
                    std::popcount(reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr);
            it->addresses.push_back(std::string{text} + "/" + std::to_string(prefix));
        }
    }
    ::freeifaddrs(list);
    return found;
}

bool interfaceExists(const std::string& name)
{
    return !name.empty() && ::if_nametoindex(name.c_str()) != 0;
}

std::string describeInterfaces(const std::vector<NetworkInterface>& interfaces)
{
    std::string out;
    for (const NetworkInterface& i : interfaces) {
        out += i.name + "  " + (i.up ? "up" : "down") + "  " + i.kind;
        for (const std::string& a : i.addresses) out += "  " + a;
        if (i.addresses.empty()) out += "  (no IPv4 address)";
        out += '\n';
    }
    return out;
}

} // namespace fw
