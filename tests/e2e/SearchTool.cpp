// fwsearch: runs the device search once with the real sockets and prints what it found, for the
// end-to-end tests on the test LAN. Usage: fwsearch [--flags N] [--rom-id TEXT] [--detailed] [ADDRESS]
#include "discovery/QuietSearchWindow.h"
#include "discovery/Refresh.h"
#include "platform/posix/IcmpPing.h"
#include "platform/posix/UdpProbeSocket.h"
#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

class PrintingLog final : public fw::Log {
public:
    void addLine(std::string_view line) override { std::cout << "log " << line << '\n'; }
};

class PrintingEntry final : public DeviceEntry, public fw::StatusLine {
public:
    void clearEntryLines() override {}
    void addEntryLine(std::string_view line) override { std::cout << "line " << line << '\n'; }
    void setEntryText(std::string_view text) override
    {
        if (!text.empty()) std::cout << "text " << text << '\n';
    }
    void setStatus(std::string_view text) override { std::cout << "status " << text << '\n'; }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app{argc, argv};
    int flags = 0x9F;
    std::string romID = "Vantik";
    std::string address = TRefreshForm::kBroadcast;
    int listForm = 111;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--flags" && i + 1 < argc) {
            flags = static_cast<int>(std::strtol(argv[++i], nullptr, 0));
        } else if (arg == "--rom-id" && i + 1 < argc) {
            romID = argv[++i];
        } else if (arg == "--detailed") {
            listForm = 222;
        } else if (!arg.starts_with("--")) {
            address = arg;
        } else {
            std::cerr << "usage: fwsearch [--flags N] [--rom-id TEXT] [--detailed] [ADDRESS]\n";
            return 2;
        }
    }
    fw::QtEventLoop loop;
    fw::UdpProbeSocket socket;
    fw::IcmpPing echo;
    QuietSearchWindow window;
    PrintingLog log;
    TRefreshForm search{loop, socket, echo, window, &log};
    search.SetSearchConfig(static_cast<std::uint8_t>(flags), romID,
                           {"default", "default", "default", "default"});
    search.SearchDevices(address);
    for (int i = 0; i < search.deviceList.count; ++i) {
        const auto& row = search.deviceList.rows[i];
        std::cout << "row " << row.state << ' ' << row.ip << " [" << row.module << "] [" << row.detail
                  << "]\n";
    }
    PrintingEntry entry;
    search.FillDeviceBox(entry, entry, listForm);
    return 0;
}
