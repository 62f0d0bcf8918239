#pragma once
// The main window's own operations beyond the log, status, progress and boxes: its controls by
// name, its caption and height, the device entry's list, focus, and closing. The logic drives the
// window only through these; the Qt window, the console and the tests implement them.
#include "discovery/DeviceEntry.h"
#include "platform/WindowOps.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class MainControl {
    SearchGroup,
    Label1,
    IPComBox,
    IPReFresh,
    PasswordGroup,
    Label2,
    UserLabel,
    PasswordComBox,
    UserIDComBox,
    UpgreadFileGroup,
    Label3,
    UpdateFileName,
    Browse,
    ToolGroup,
    Upgrade,
    Exit,
    ProgressGroup,
    ProgressBar1,
    GSystemLog,
    Memo1,
    StatusBar1,
};
inline constexpr int kMainControlCount = static_cast<int>(MainControl::StatusBar1) + 1;

// The control's name, which the Qt window also gives its widget.
const char* controlName(MainControl control);

// The events the window delivers, each to one handler of the logic.
class MainWindowEvents {
public:
    virtual ~MainWindowEvents() = default;
    virtual void FormActivate() = 0;
    virtual void IPComBoxChange() = 0;
    virtual void IPComBoxKeyPress(char key) = 0;
    virtual void IPReFreshClick() = 0;
    virtual void BrowseClick() = 0;
    virtual void ExitClick() = 0;
    virtual void ExitKeyDown(int functionKey, bool alt) = 0; // functionKey 1-12 for F1-F12, 0 others
    virtual bool FormCloseQuery() = 0;                       // true: the window may close
    virtual void FormClose() = 0;
    virtual void UpgradeClick() = 0;
    virtual void PasswordComBoxChange() = 0;
    virtual void UserIDComBoxChange() = 0;
};

class MainWindowOps : public fw::WindowOps, public DeviceEntry {
public:
    virtual void bind(MainWindowEvents* events) = 0;

    virtual void setCaption(std::string_view caption) = 0;
    virtual std::string caption() const = 0;
    virtual void setEnabled(MainControl control, bool enabled) = 0;
    virtual bool enabled(MainControl control) const = 0;
    virtual void setVisible(MainControl control, bool visible) = 0;
    virtual bool visible(MainControl control) const = 0;
    virtual void setLeft(MainControl control, int left) = 0;
    virtual void setWidth(MainControl control, int width) = 0;
    virtual void setTop(MainControl control, int top) = 0;
    virtual int top(MainControl control) const = 0;
    virtual void setWindowHeight(int height) = 0;
    virtual int windowHeight() const = 0;

    // Texts of the device entry and the fields. Program changes of the device entry run no handler.
    virtual std::string text(MainControl control) const = 0;
    virtual void setText(MainControl control, std::string_view text) = 0;
    // The device entry's list (filled through DeviceEntry).
    virtual int entryLineCount() const = 0;
    virtual void focusEntry() = 0;
    // The file chooser: several existing files; nullopt when the user cancels. The filter is given as
    // pairs of description and pattern: "(BIN Files)|*.bin|(All Files)|*.*".
    virtual std::optional<std::vector<std::string>> chooseFiles(std::string_view filter) = 0;

    // Closes the window, through the close request and the closing handlers; the program ends then.
    virtual void closeWindow() = 0;
    // Asks the toolkit to end the program.
    virtual void terminate() = 0;
    // Frees the window once the pending events are handled, which ends the program.
    virtual void release() = 0;
};
