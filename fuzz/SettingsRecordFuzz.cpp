// Fuzz target: any bytes as control.cfg, applied by the activation's settings step. The record's
// texts must end with their fields, and nothing may crash, whatever the method, flags or lengths.
#include "app/Mainunit.h"
#include "app/testing/ScriptedMainWindow.h"
#include "discovery/QuietSearchWindow.h"
#include "discovery/Refresh.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "platform/testing/FakeProbeSocket.h"
#include "platform/testing/VirtualLoop.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto dir = fw::TempDir::create("fwfuzz-cfg-");
    if (!dir) std::abort();
    const std::string path = dir->prefix() + "control.cfg.tmp";
    {
        fw::File file = fw::File::createFresh(path);
        if (!file.write(std::as_bytes(std::span{data, size}))) std::abort();
    }
    ScriptedMainWindow window;
    fw::VirtualLoop loop;
    fw::FakeProbeSocket socket;
    fw::FakeIcmpEcho echo;
    QuietSearchWindow searchWindow;
    TRefreshForm search{loop, socket, echo, searchWindow, &window};
    TUpgradeForm1 form{window, loop, {}};
    window.bind(&form);
    form.RefreshForm = &search;
    form.settings.record.flags = 0x9F;
    form.fileList.add(path, Attribute::Control_File, 1);
    window.markShown();
    form.ApplyControlSettings();
    for (const std::string& line : window.log) {
        if (line.size() > 120) std::abort(); // a text ran past its field
    }
    window.bind(nullptr);
    return 0;
}
