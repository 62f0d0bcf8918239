// Fuzz target: any bytes as the program file. The reader must not crash or read out of bounds,
// must write nothing outside its directory, and must leave nothing behind once destroyed.
#include "bundle/Appendtool.h"
#include "platform/File.h"
#include "platform/TempDir.h"
#include "platform/testing/ScriptedWindow.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static auto inputs = fw::TempDir::create("fwfuzz-in-");
    static auto temp = fw::TempDir::create("fwfuzz-tmp-");
    if (!inputs || !temp) std::abort();
    const std::string program = inputs->prefix() + "fwupgrade";
    {
        fw::File file = fw::File::createFresh(program);
        if (!file.write(std::as_bytes(std::span{data, size}))) std::abort();
    }
    {
        fw::ScriptedWindow window;
        appendTool tool{temp->prefix(), &window};
        std::size_t messageBytes = 0;
        tool.SetStartMessageHandler([&](std::uint16_t, std::span<const std::byte> bytes) {
            for (const std::byte b : bytes) messageBytes += std::to_integer<unsigned>(b); // touch every byte
        });
        tool.ReadinputExeFile(program);
        tool.ListEmbedFiles(window);
        (void)tool.SectionList();
        (void)tool.CountUpgradeFiles();
    }
    if (!fw::directoryEntries(temp->path()).empty() || fw::directoryEntries(inputs->path()).size() != 1)
        std::abort();
    return 0;
}
