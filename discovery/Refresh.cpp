#include "discovery/Refresh.h"

#include "discovery/ProbeFormats.h"

#include <algorithm>

namespace {

constexpr int kSearchWaitMs = 200;

int stateOf(int kind, bool reachable, bool listed)
{
    using namespace DeviceState;
    if (kind == probe::kCrash)
        return reachable ? (listed ? CrashDuplicate : Crash)
                         : (listed ? CrashUnreachableDuplicate : CrashUnreachable);
    return reachable ? (listed ? NormalDuplicate : Normal)
                     : (listed ? NormalUnreachableDuplicate : NormalUnreachable);
}

} // namespace

TRefreshForm::TRefreshForm(fw::EventLoop& loop, fw::ProbeSocket& socket, fw::IcmpEcho& echo,
                           SearchWindowOps& window, fw::Log* log)
    : m_loop{loop}, WSocket1{socket}, m_echo{echo}, m_window{window}, m_log{log}
{
    Timer1 = m_loop.createTimer(20);
    Timer1->onTick = [this] { Timer1Timer(); };
    FormCreate();
}

TRefreshForm::~TRefreshForm() = default;

void TRefreshForm::FormCreate()
{
    searchRomID = "Vantik";
    defaultAddr = {"192.168.123.254", "192.168.2.1", "192.168.0.1", "192.168.1.254"};
    searchFlags = 0x9F;
}

void TRefreshForm::SetSearchConfig(std::uint8_t flags, const std::string& romID,
                                   const std::array<std::string, 4>& addresses)
{
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (addresses[i] != "default") defaultAddr[i] = addresses[i];
    }
    if (flags != kKeepFlags) searchFlags = flags;
    searchRomID = romID;
}

void TRefreshForm::ClearDeviceList()
{
    for (int i = 0; i < deviceList.count; ++i) deviceList.rows[i] = router_info{};
    deviceList.count = 0;
}

bool TRefreshForm::IsListedAddress(const std::string& address) const
{
    return std::any_of(deviceList.rows.begin(), deviceList.rows.begin() + deviceList.count,
                       [&](const router_info& row) { return row.ip == address; });
}

TRefreshForm::router_info* TRefreshForm::nextRow()
{
    if (deviceList.count >= router_list::kRows) return nullptr; // a 65th device is not recorded
    return &deviceList.rows[deviceList.count++];
}

void TRefreshForm::advanceProgress(int step)
{
    m_window.setPosition(std::min(m_window.position() + step, m_window.maximum()));
}

void TRefreshForm::SearchDevices(const std::string& address)
{
    if (searchFlags & 0x01) ProbeDevices(probe::kNormal, address, 9);
    if (searchFlags & 0x02) ProbeDevices(probe::kBootRequest, address, 67);
    if (searchFlags & 0x08) ProbeDevices(probe::kCrash, address, 69);
    if ((searchFlags & 0x04) && (searchFlags & 0x80)) {
        for (const std::string& defaultAddress : defaultAddr) {
            if (!defaultAddress.empty()) ProbeDevices(probe::kDefaultAddress, defaultAddress, 9);
        }
    }
    ProbeDevices(probe::kPingOnly, address, 0);
}

int TRefreshForm::ProbeDevices(int kind, const std::string& address, std::uint16_t port)
{
    if (address != kBroadcast && IsListedAddress(address)) return 1;
    const bool sends = kind >= probe::kNormal && kind <= probe::kBootRequest;
    // The boot-request probe leaves from port 68, and so do the later probes, of later searches too.
    if (kind == probe::kBootRequest) WSocket1.setLocalPort(68);

    bool opened = false;
    if (sends) {
        opened = WSocket1.open();
        if (!opened && kind != probe::kBootRequest && WSocket1.localPort() != 0) {
            // Port 68 held by another program must not silence every later probe: they need no
            // particular port, so they go from one the system picks.
            const std::uint16_t wanted = WSocket1.localPort();
            WSocket1.setLocalPort(0);
            opened = WSocket1.open();
            WSocket1.setLocalPort(wanted);
        }
        if (!opened && m_log)
            m_log->addLine("Device search: probe to " + address + " skipped: " + WSocket1.errorText());
        // A probe the system cannot send (no route to a default address) simply finds nothing.
        if (opened) WSocket1.sendTo({address, port}, probe::datagramFor(kind, searchRomID));
    }

    m_loop.WaitMs(kSearchWaitMs, false); // the search handles no window events meanwhile

    while (opened) {
        const auto reply = WSocket1.readWaiting(probe::replyLength(kind));
        if (!reply) break;
        advanceProgress(2);
        if (!probe::accepts(kind, reply->bytes)) continue;
        const std::string& sender = reply->from.address;
        if (deviceList.count >= router_list::kRows) continue;
        const bool reachable = m_echo.ping(sender) > 0;
        const bool listed = IsListedAddress(sender);
        int state;
        if (kind == probe::kDefaultAddress) {
            if (reachable && listed) continue; // a listed address that answers echo is not recorded again
            state = reachable ? DeviceState::Default
                              : (listed ? DeviceState::DefaultUnreachableDuplicate
                                        : DeviceState::DefaultUnreachable);
        } else {
            state = stateOf(kind, reachable, listed);
        }
        router_info* row = nextRow();
        const probe::ReplyTexts texts = probe::textsOf(kind, reply->bytes);
        *row = {state, sender, texts.module, texts.detail};
    }

    if (deviceList.count >= 1) {
        m_window.setPosition(100);
        WSocket1.close();
        return 1;
    }
    WSocket1.close();
    if (kind == probe::kPingOnly && address != kBroadcast && m_echo.ping(address) > 0) {
        *nextRow() = {DeviceState::Unknown, address, "unknow module", ""};
        m_window.setPosition(100);
        return 1;
    }
    return 0;
}

void TRefreshForm::ShowModal()
{
    m_shown = true;
    m_window.showSearching();
    FormActivate();
    m_loop.runModal([this] { return !m_shown; });
}

void TRefreshForm::FormActivate()
{
    ClearDeviceList();
    m_window.setMaximum(100);
    m_window.setPosition(0);
    ClearDeviceList();
    SearchDevices(kBroadcast);
    Timer1->start();
}

void TRefreshForm::Timer1Timer()
{
    ClearDeviceList();
    SearchDevices(kBroadcast);
    Timer1->stop();
    m_window.closeSearching();
    m_shown = false;
}
