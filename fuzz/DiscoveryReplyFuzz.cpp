// Fuzz target: any bytes as a reply to each probe kind, read by the search. Nothing may read past the
// datagram, and a row's texts come only from inside it.
#include "discovery/ProbeFormats.h"
#include "discovery/QuietSearchWindow.h"
#include "discovery/Refresh.h"
#include "platform/testing/FakeProbeSocket.h"
#include "platform/testing/VirtualLoop.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::byte> reply(reinterpret_cast<const std::byte*>(data),
                                       reinterpret_cast<const std::byte*>(data) + size);
    for (const int kind : {probe::kNormal, probe::kBootRequest, probe::kCrash, probe::kDefaultAddress}) {
        fw::VirtualLoop loop;
        fw::FakeProbeSocket socket;
        fw::FakeIcmpEcho echo;
        QuietSearchWindow window;
        TRefreshForm search{loop, socket, echo, window, nullptr};
        echo.answering = {"10.0.0.1"};
        socket.deliver(reply, "10.0.0.1");
        socket.deliver(reply, "10.0.0.2");
        search.ProbeDevices(kind, TRefreshForm::kBroadcast, 9);
        const std::size_t limit = std::min(size, probe::replyLength(kind));
        for (int i = 0; i < search.deviceList.count; ++i) {
            const auto& row = search.deviceList.rows[i];
            if (row.module.size() > limit && kind != probe::kDefaultAddress) std::abort();
            if (row.detail.size() > limit && row.detail != "unknown") std::abort();
        }
    }
    return 0;
}
