// tools/routersim/DiscoveryResponder.cpp: recognizes the probes and sends each device's reply.
#include "tools/routersim/DiscoveryResponder.h"

#include "tools/routersim/Log.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace routersim {

namespace {

constexpr std::size_t kNormalReplyLength = 68;
constexpr std::size_t kNormalDetailOffset = 12;
constexpr std::size_t kNormalModuleOffset = 44;
constexpr std::size_t kBootLength = 548; // request and reply alike
constexpr std::size_t kBootModuleOffset = 108;
constexpr std::size_t kBootDetailOffset = 140;
constexpr std::size_t kDefaultReplyLength = 64;

constexpr std::array<std::byte, 4> kNormalProbe{std::byte{0x51}, std::byte{0x44}, std::byte{0}, std::byte{0}};
constexpr std::array<std::byte, 3> kDefaultProbe{std::byte{0x51}, std::byte{0x51}, std::byte{0}};
// A TFTP read request of the file "VN" in mode "octet".
constexpr std::array<std::byte, 11> kCrashProbe{
    std::byte{0x00}, std::byte{0x01}, std::byte{'V'}, std::byte{'N'}, std::byte{0x00}, std::byte{'o'},
    std::byte{'c'},  std::byte{'t'},  std::byte{'e'}, std::byte{'t'}, std::byte{0x00}};
constexpr char kCrashMark[] = "$Brisel";

template <std::size_t N>
bool equals(std::span<const std::byte> bytes, const std::array<std::byte, N>& want)
{
    return bytes.size() == N && std::equal(want.begin(), want.end(), bytes.begin());
}

void putText(std::vector<std::byte>& reply, std::size_t offset, const std::string& text)
{
    std::memcpy(reply.data() + offset, text.data(), text.size()); // the zero byte after it is already there
}

const char* probeName(Probe probe)
{
    switch (probe) {
    case Probe::Normal:
        return "normal";
    case Probe::Boot:
        return "boot-request";
    case Probe::Crash:
        return "crash";
    case Probe::Default:
        return "default-address";
    }
    return "?";
}

} // namespace

std::optional<Probe> recognizeProbe(std::uint16_t port, std::span<const std::byte> bytes)
{
    if (port == kNormalPort && equals(bytes, kNormalProbe)) return Probe::Normal;
    if (port == kNormalPort && equals(bytes, kDefaultProbe)) return Probe::Default;
    if (port == kCrashPort && equals(bytes, kCrashProbe)) return Probe::Crash;
    if (port == kBootPort && bytes.size() == kBootLength && bytes[0] == std::byte{0xC0} &&
        bytes[1] == std::byte{0x01} && bytes[2] == std::byte{0x01})
        return Probe::Boot;
    return std::nullopt;
}

std::vector<std::byte> buildReply(Probe probe, const Device& device)
{
    std::vector<std::byte> reply;
    switch (probe) {
    case Probe::Normal:
        reply.resize(kNormalReplyLength);
        putText(reply, kNormalDetailOffset, device.detail);
        putText(reply, kNormalModuleOffset, device.module);
        break;
    case Probe::Boot:
        reply.resize(kBootLength);
        reply[0] = std::byte{0xC1};
        putText(reply, kBootModuleOffset, device.module);
        putText(reply, kBootDetailOffset, device.detail);
        break;
    case Probe::Crash: {
        // A TFTP data block 1 whose first bytes are the loader's mark and the module name.
        const std::string text = kCrashMark + device.module;
        reply.resize(4 + text.size() + 1);
        reply[1] = std::byte{0x03};
        reply[3] = std::byte{0x01};
        putText(reply, 4, text);
        break;
    }
    case Probe::Default:
        // The search takes any answer to this probe; the device echoes the probe's bytes.
        reply.resize(kDefaultReplyLength);
        std::copy(kDefaultProbe.begin(), kDefaultProbe.end(), reply.begin());
        break;
    }
    return reply;
}

void DiscoveryResponder::attach(UdpPorts& ports)
{
    for (std::uint16_t number : {kNormalPort, kBootPort, kCrashPort}) {
        UdpPort& port = ports.at(number);
        port.addHandler([this, &port](const Datagram& datagram) { return onDatagram(port, datagram); });
    }
}

bool DiscoveryResponder::onDatagram(UdpPort& port, const Datagram& datagram)
{
    const std::optional<Probe> probe = recognizeProbe(datagram.port, datagram.bytes);
    if (!probe) return false;
    const bool broadcast = datagram.to.s_addr == htonl(INADDR_BROADCAST);
    int answered = 0;
    for (std::size_t i = 0; i < m_devices.size(); ++i) {
        const Device& device = m_devices[i];
        if (!device.answers.has(*probe)) continue;
        // The default-address probe asks one address; a device answers it only when that is its own.
        const bool forMe =
            datagram.to.s_addr == device.address.s_addr || (broadcast && *probe != Probe::Default);
        if (!forMe) continue;
        std::vector<std::byte> reply = buildReply(*probe, device);
        if (device.replyLength && *device.replyLength < reply.size()) reply.resize(*device.replyLength);
        port.sendFrom(device.address, datagram.from, reply,
                      std::string(probeName(*probe)) + " reply of device " + std::to_string(i + 1) + " " +
                          device.module);
        ++answered;
    }
    if (answered == 0)
        logLine(std::string("  ") + probeName(*probe) + " probe to " + addressText(datagram.to) +
                ": no device answers it");
    return true;
}

} // namespace routersim
