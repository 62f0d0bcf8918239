#pragma once
// TRefreshForm: the device search and its small modal window. It probes the LAN with UDP, pings
// every device that answers, and keeps what it found in a list the main window reads.
#include "discovery/DeviceEntry.h"
#include "discovery/SearchWindowOps.h"
#include "platform/EventLoop.h"
#include "platform/ProbeSocket.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// State codes of a found device.
namespace DeviceState {
inline constexpr int Crash = 0, CrashDuplicate = -1, CrashUnreachable = 3, CrashUnreachableDuplicate = -4;
inline constexpr int Normal = 1, NormalDuplicate = -2, NormalUnreachable = 4, NormalUnreachableDuplicate = -5;
inline constexpr int Default = 2, DefaultUnreachable = 5, DefaultUnreachableDuplicate = -6;
inline constexpr int Unknown = 6;
} // namespace DeviceState

class TRefreshForm {
public:
    struct router_info {
        std::int32_t state = 0;
        std::string ip;
        std::string module;
        std::string detail;
    };
    struct router_list {
        static constexpr int kRows = 64;
        std::array<router_info, kRows> rows;
        std::int32_t count = 0;
    };

    static constexpr const char* kBroadcast = "255.255.255.255";
    static constexpr std::uint8_t kKeepFlags = 0xFF;

    // log receives the lines of probes that could not be sent; it may be null.
    TRefreshForm(fw::EventLoop& loop, fw::ProbeSocket& socket, fw::IcmpEcho& echo, SearchWindowOps& window,
                 fw::Log* log);
    ~TRefreshForm();

    // Flags other than 0xFF replace the search flags; addresses other than "default" replace the
    // factory default addresses; the ROM ID always replaces the one sent.
    void SetSearchConfig(std::uint8_t flags, const std::string& romID,
                         const std::array<std::string, 4>& addresses);
    void ClearDeviceList();
    void SearchDevices(const std::string& address);
    // One probe with its replies: 1 when the list holds a device afterwards (or the address was
    // already listed), else 0.
    int ProbeDevices(int kind, const std::string& address, std::uint16_t port);
    bool IsListedAddress(const std::string& address) const;

    // Shows the window modally: it searches twice and closes itself.
    void ShowModal();
    // One echo request of Ping1; the number of replies.
    int Ping(const std::string& address) { return m_echo.ping(address); }

    // Fills the device entry from the list, brief (111) or detailed (222), and the count line.
    void FillDeviceBox(DeviceEntry& entry, fw::StatusLine& status, int listForm) const;

    void FormCreate();
    void FormActivate();
    void Timer1Timer();

    std::string searchRomID;
    std::array<std::string, 4> defaultAddr;
    std::uint8_t searchFlags = 0;
    router_list deviceList;

private:
    router_info* nextRow();
    void advanceProgress(int step);

    fw::EventLoop& m_loop;
    fw::ProbeSocket& WSocket1;
    fw::IcmpEcho& m_echo;
    SearchWindowOps& m_window;
    fw::Log* m_log;
    std::unique_ptr<fw::Timer> Timer1;
    bool m_shown = false;
};

// The state text a device list line ends with.
std::string stateText(int state, int listForm);
