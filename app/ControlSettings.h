#pragma once
// The 224-byte settings record as control.cfg stores it, and the start flags that follow it in memory.
#include <cstdint>

struct ControlSettings {
    char dstIP[18];
    char passWd[18];
    std::uint8_t method; // 1 "get", 2 "put", 4 "set"
    char initFile[64];   // "put"/"set": one upgrade file; "get": the get parameters (below)
    char romID[16];
    std::uint8_t flags;
    char searchAddr1[18];
    char searchAddr2[18];
    char searchAddr3[18];
    char searchAddr4[18];
    char caption[32];
    std::int8_t timeOut;
    std::uint8_t methodOrder;
};
static_assert(sizeof(ControlSettings) == 224, "control.cfg is a 224-byte record");

// The get parameters inside initFile: local file name, offset text and length text, each ending with
// a zero byte inside its field.
namespace GetParameters {
inline constexpr int kFileName = 0, kFileNameWidth = 32;
inline constexpr int kOffset = 32, kOffsetWidth = 16;
inline constexpr int kLength = 48, kLengthWidth = 16;
} // namespace GetParameters

// The window's settings area: the record, then the four start flags.
struct SettingsArea {
    ControlSettings record{};
    std::uint8_t putPending = 0;
    std::uint8_t getPending = 0;
    std::uint8_t paramMode = 0;
    std::uint8_t logByParam = 0;
};
static_assert(sizeof(SettingsArea) == 228);
