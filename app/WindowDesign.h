#pragma once
// The main window as designed: client area, caption and the panels' tops and heights.
#include "app/MainWindowOps.h"

namespace design {
inline constexpr int kClientWidth = 344;
inline constexpr int kClientHeight = 359;
inline constexpr const char* kCaption = "Firmware Upgrade  V1.1.1";

struct Panel {
    MainControl control;
    int top;
    int height;
};
inline constexpr Panel kPanels[] = {
    {MainControl::SearchGroup, 0, 57},       {MainControl::PasswordGroup, 56, 41},
    {MainControl::UpgreadFileGroup, 89, 57}, {MainControl::ToolGroup, 144, 40},
    {MainControl::ProgressGroup, 180, 25},   {MainControl::GSystemLog, 204, 137},
};

// Controls that start hidden or disabled.
inline bool startsVisible(MainControl control)
{
    return control != MainControl::UserLabel && control != MainControl::UserIDComBox;
}
inline bool startsEnabled(MainControl control)
{
    return control != MainControl::Upgrade && control != MainControl::PasswordComBox;
}
} // namespace design
