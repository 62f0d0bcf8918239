#include "app/MainWindowOps.h"

const char* controlName(MainControl control)
{
    static constexpr const char* kNames[kMainControlCount] = {
        "SearchGroup", "Label1",         "IPComBox",       "IPReFresh",    "PasswordGroup",
        "Label2",      "UserLabel",      "PasswordComBox", "UserIDComBox", "UpgreadFileGroup",
        "Label3",      "UpdateFileName", "Browse",         "ToolGroup",    "Upgrade",
        "Exit",        "ProgressGroup",  "ProgressBar1",   "GSystemLog",   "Memo1",
        "StatusBar1",
    };
    return kNames[static_cast<int>(control)];
}
