// tools/routersim/BootLoaderService.h: runs the TFTP loader of each crashed device on port 69: its sockets,
// its store folder, its ACK delay and its reboot.
#pragma once

#include "tools/routersim/Device.h"
#include "tools/routersim/EventLoop.h"
#include "tools/routersim/LoaderSettings.h"
#include "tools/routersim/TftpBootLoader.h"
#include "tools/routersim/UdpPort.h"

#include <memory>
#include <string>
#include <vector>

namespace routersim {

class BootLoaderService {
public:
    // The devices are the ones the discovery responder reads: a reboot changes what they answer.
    BootLoaderService(std::vector<Device>& devices, const LoaderSettings& settings, EventLoop& loop);
    void attach(UdpPorts& ports);

private:
    struct Unit {
        Device& device;
        std::size_t number; // from 1, as the log names devices
        TftpBootLoader engine;
        std::shared_ptr<UdpPort> transferPort = nullptr;
        bool silent = false;    // rebooting: nothing on any port is answered
        bool recovered = false; // the firmware runs: the loader is gone
    };

    bool onDatagram(Unit& unit, UdpPort& port, const Datagram& datagram);
    void carryOut(Unit& unit, UdpPort& arrivedAt, const sockaddr_in& from, std::vector<LoaderAction> actions);
    bool openTransferPort(Unit& unit);
    bool store(const std::string& name, std::span<const std::byte> bytes);
    void send(Unit& unit, UdpPort& port, std::shared_ptr<UdpPort> keep, const sockaddr_in& to,
              std::vector<std::byte> bytes, const std::string& what, std::chrono::milliseconds delay);
    void reboot(Unit& unit);

    const LoaderSettings& m_settings;
    EventLoop& m_loop;
    std::vector<std::unique_ptr<Unit>> m_units;
};

} // namespace routersim
