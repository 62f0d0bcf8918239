// The device entry's lines: one per found device, brief or detailed, and the count line.
#include "discovery/Refresh.h"

std::string stateText(int state, int listForm)
{
    const bool brief = listForm == 111;
    switch (state) {
    case DeviceState::Normal:
        return brief ? "" : "   normal";
    case DeviceState::Default:
        return brief ? "" : "   default";
    case DeviceState::Crash:
        return "   crash";
    case DeviceState::NormalDuplicate:
        return brief ? "   IP duplicate" : "   normal IP duplicate";
    case DeviceState::CrashDuplicate:
        return "   crash and IP duplicate";
    case DeviceState::CrashUnreachable:
        return "   crash and IP unreachable";
    case DeviceState::NormalUnreachable:
        return brief ? "   IP unreachable" : "   normal IP unreachable";
    case DeviceState::DefaultUnreachable:
        return brief ? "   IP unreachable" : "   default IP unreachable";
    case DeviceState::DefaultUnreachableDuplicate:
        return brief ? "   IP unreachable and duplicate" : "   default IP unreachable and duplicate";
    case DeviceState::NormalUnreachableDuplicate:
        return brief ? "   IP unreachable and duplicate" : "   normal IP unreachable and duplicate";
    case DeviceState::CrashUnreachableDuplicate:
        return brief ? "   crash and IP unreachable and duplicate" : "   crash IP unreachable and duplicate";
    case DeviceState::Unknown:
        return "   unknow device";
    default:
        return "  unknow error";
    }
}

void TRefreshForm::FillDeviceBox(DeviceEntry& entry, fw::StatusLine& status, int listForm) const
{
    entry.clearEntryLines();
    entry.setEntryText("");
    std::string first;
    for (int i = 0; i < deviceList.count; ++i) {
        const router_info& row = deviceList.rows[i];
        std::string line = row.ip;
        if (listForm != 111) line += "  " + row.module + " - " + row.detail;
        line += stateText(row.state, listForm);
        entry.addEntryLine(line);
        if (i == 0 || entryLineBefore(line, first)) first = line; // the sorted list's first line
    }
    status.setStatus(std::to_string(deviceList.count) +
                     (deviceList.count >= 2 ? " devices found" : " device found"));
    entry.setEntryText(first);
}
