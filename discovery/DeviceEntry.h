#pragma once
// The drop-down device entry that the device list fills: its list of lines and its text.
#include <string_view>

// The entry's list is kept sorted: letters compare without regard to case.
bool entryLineBefore(std::string_view a, std::string_view b);

class DeviceEntry {
public:
    virtual ~DeviceEntry() = default;
    virtual void clearEntryLines() = 0;
    virtual void addEntryLine(std::string_view line) = 0;
    // Program changes of the entry's text run no handler.
    virtual void setEntryText(std::string_view text) = 0;
};
