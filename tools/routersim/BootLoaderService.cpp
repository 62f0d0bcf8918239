// tools/routersim/BootLoaderService.cpp: hands the loader's datagrams to its engine and carries out what the
// engine asks for.
#include "tools/routersim/BootLoaderService.h"

#include "tools/routersim/DiscoveryResponder.h"
#include "tools/routersim/Log.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace routersim {

namespace {

std::vector<std::byte> ackDatagram(std::uint16_t block)
{
    return {std::byte{0}, std::byte{4}, static_cast<std::byte>(block >> 8),
            static_cast<std::byte>(block & 0xFF)};
}

std::vector<std::byte> errorDatagram(std::uint16_t code, const std::string& message)
{
    std::vector<std::byte> bytes{std::byte{0}, std::byte{5}, static_cast<std::byte>(code >> 8),
                                 static_cast<std::byte>(code & 0xFF)};
    for (char c : message) bytes.push_back(static_cast<std::byte>(c));
    bytes.push_back(std::byte{0});
    return bytes;
}

} // namespace

BootLoaderService::BootLoaderService(std::vector<Device>& devices, const LoaderSettings& settings,
                                     EventLoop& loop)
    : m_settings{settings}, m_loop{loop}
{
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].bootLoader)
            m_units.push_back(
                std::make_unique<Unit>(Unit{devices[i], i + 1, TftpBootLoader{settings.faults}}));
    }
}

void BootLoaderService::attach(UdpPorts& ports)
{
    if (m_units.empty()) return;
    UdpPort& port = ports.at(kCrashPort);
    port.addHandler([this, &port](const Datagram& datagram) {
        // A write goes to the device's own address, never to a broadcast.
        for (const auto& unit : m_units) {
            if (unit->device.address.s_addr == datagram.to.s_addr) return onDatagram(*unit, port, datagram);
        }
        return false;
    });
}

bool BootLoaderService::onDatagram(Unit& unit, UdpPort& port, const Datagram& datagram)
{
    if (unit.recovered) return false; // the firmware runs again and has no loader
    if (unit.silent) {
        logLine("  device " + std::to_string(unit.number) + " reboots: not answered");
        return true;
    }
    const Peer from{ntohl(datagram.from.sin_addr.s_addr), ntohs(datagram.from.sin_port)};
    carryOut(unit, port, datagram.from, unit.engine.onDatagram(datagram.bytes, from));
    return true;
}

void BootLoaderService::carryOut(Unit& unit, UdpPort& arrivedAt, const sockaddr_in& from,
                                 std::vector<LoaderAction> actions)
{
    const std::string device = " of device " + std::to_string(unit.number) + " " + unit.device.module;
    for (LoaderAction& action : actions) {
        UdpPort* replyPort = &arrivedAt;
        std::shared_ptr<UdpPort> keep;
        if (m_settings.ackFromTransferPort && unit.transferPort) {
            replyPort = unit.transferPort.get();
            keep = unit.transferPort;
        }
        bool stop = false;
        std::visit(
            [&](auto& a) {
                using A = std::decay_t<decltype(a)>;
                if constexpr (std::is_same_v<A, loader::OpenTransfer>) {
                    if (m_settings.ackFromTransferPort && !openTransferPort(unit)) {
                        send(unit, arrivedAt, nullptr, from, errorDatagram(0, "no transfer port"),
                             "ERROR" + device, std::chrono::milliseconds{0});
                        stop = true;
                    }
                } else if constexpr (std::is_same_v<A, loader::SendAck>) {
                    send(unit, *replyPort, keep, from, ackDatagram(a.block),
                         "ACK of block " + std::to_string(a.block) + device, m_settings.ackDelay);
                } else if constexpr (std::is_same_v<A, loader::SendError>) {
                    send(unit, *replyPort, keep, from, errorDatagram(a.code, a.message),
                         "ERROR " + std::to_string(a.code) + device, std::chrono::milliseconds{0});
                } else if constexpr (std::is_same_v<A, loader::StoreFile>) {
                    if (!store(a.name, a.bytes)) {
                        send(unit, *replyPort, keep, from, errorDatagram(3, "cannot store the file"),
                             "ERROR 3" + device, std::chrono::milliseconds{0});
                        stop = true;
                    }
                } else if constexpr (std::is_same_v<A, loader::Reboot>) {
                    reboot(unit);
                } else if constexpr (std::is_same_v<A, loader::ProtocolError>) {
                    logLine("protocol error: " + a.text);
                } else if constexpr (std::is_same_v<A, loader::Note>) {
                    logLine("  " + a.text);
                }
            },
            action);
        if (stop) return;
    }
}

bool BootLoaderService::openTransferPort(Unit& unit)
{
    if (unit.transferPort) {
        // Its datagram may be the one being handled: the old port goes once this turn of the loop is over.
        m_loop.unwatch(unit.transferPort->fd());
        m_loop.after(std::chrono::milliseconds{0}, [old = std::move(unit.transferPort)] {});
    }
    auto port = std::make_shared<UdpPort>(0);
    if (std::string error = port->open(); !error.empty()) {
        logLine(error);
        return false;
    }
    Unit* u = &unit;
    UdpPort* p = port.get();
    port->addHandler([this, u, p](const Datagram& datagram) { return onDatagram(*u, *p, datagram); });
    m_loop.watch(port->fd(), [p] { p->receive(); });
    logLine("  transfer port " + std::to_string(port->port()) + " of device " + std::to_string(unit.number) +
            " opened");
    unit.transferPort = std::move(port);
    return true;
}

bool BootLoaderService::store(const std::string& name, std::span<const std::byte> bytes)
{
    // Written under a name of its own first, so a file in the store is always whole.
    const std::filesystem::path dir = m_settings.storeDir;
    const std::filesystem::path part = dir / ("." + name + ".part");
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            logLine("cannot write " + part.string() + ": " + std::strerror(errno));
            std::error_code ignored;
            std::filesystem::remove(part, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(part, dir / name, error);
    if (error) {
        logLine("cannot rename " + part.string() + ": " + error.message());
        return false;
    }
    logLine("  stored " + (dir / name).string() + ", " + std::to_string(bytes.size()) + " bytes");
    return true;
}

void BootLoaderService::send(Unit& unit, UdpPort& port, std::shared_ptr<UdpPort> keep, const sockaddr_in& to,
                             std::vector<std::byte> bytes, const std::string& what,
                             std::chrono::milliseconds delay)
{
    if (delay.count() == 0) {
        port.sendFrom(unit.device.address, to, bytes, what);
        return;
    }
    Unit* u = &unit;
    UdpPort* p = &port;
    m_loop.after(delay, [u, p, keep = std::move(keep), to, bytes = std::move(bytes), what] {
        if (u->silent || u->recovered) {
            logLine("  " + what + " not sent: the device rebooted meanwhile");
            return;
        }
        p->sendFrom(u->device.address, to, bytes, what + ", late");
    });
}

void BootLoaderService::reboot(Unit& unit)
{
    logLine("  device " + std::to_string(unit.number) + " reboots: silent for " +
            std::to_string(m_settings.rebootTime.count()) + " ms");
    unit.silent = true;
    unit.device.answers = {};
    if (unit.transferPort) {
        m_loop.unwatch(unit.transferPort->fd());
        m_loop.after(std::chrono::milliseconds{0}, [old = std::move(unit.transferPort)] {});
    }
    Unit* u = &unit;
    m_loop.after(m_settings.rebootTime, [this, u] {
        u->silent = false;
        u->recovered = true;
        u->device.answers = {};
        u->device.answers.add(Probe::Normal);
        u->device.detail = m_settings.recoveredDetail;
        logLine("  device " + std::to_string(u->number) + " is up again: detail '" + u->device.detail + "'");
    });
}

} // namespace routersim
