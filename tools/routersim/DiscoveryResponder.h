// tools/routersim/DiscoveryResponder.h: the devices' side of the device search: the normal, boot-request,
// crash and default-address probes.
#pragma once

#include "tools/routersim/Device.h"
#include "tools/routersim/UdpPort.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace routersim {

constexpr std::uint16_t kNormalPort = 9; // the normal and the default-address probe
constexpr std::uint16_t kBootPort = 67;
constexpr std::uint16_t kCrashPort = 69; // a device whose firmware crashed has only its TFTP loader

// What a datagram arriving at port is, if it is a probe at all.
std::optional<Probe> recognizeProbe(std::uint16_t port, std::span<const std::byte> bytes);
// The reply of device to probe, before any reply-length cut.
std::vector<std::byte> buildReply(Probe probe, const Device& device);

class DiscoveryResponder {
public:
    explicit DiscoveryResponder(const std::vector<Device>& devices) : m_devices{devices} {}
    void attach(UdpPorts& ports);

private:
    bool onDatagram(UdpPort& port, const Datagram& datagram);

    const std::vector<Device>& m_devices;
};

} // namespace routersim
