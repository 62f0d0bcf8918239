#pragma once
// The operations through which the logic talks to the user: the log, the status line, a progress bar
// and modal boxes. Every window implements them; the logic never sees a toolkit.
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// The three button sets of a message box.
enum class BoxButtons : int { Ok = 0, OkCancel = 1, YesNoCancel = 3 };

// What a box returns: the button pressed.
enum BoxAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

enum class DialogType { Warning, Error };
enum class DialogButtons { Yes, Ok, YesNo, OkCancel, YesNoCancel };

class Log {
public:
    virtual ~Log() = default;
    virtual void addLine(std::string_view line) = 0;
};

class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual void setStatus(std::string_view text) = 0;
};

class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual void setMaximum(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual int maximum() const = 0;
    virtual int position() const = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal box; without a caption it shows the system's default title. Returns the BoxAnswer.
    virtual int messageBox(std::string_view text, std::optional<std::string_view> caption,
                           BoxButtons buttons) = 0;
    // A modal warning or error dialog with one of the dialog button sets. Returns the BoxAnswer.
    virtual int dialog(DialogType type, std::string_view text, DialogButtons buttons) = 0;
};

// Everything a window with a log, a status line and a progress bar offers.
class WindowOps : public Log, public StatusLine, public ProgressBar, public Dialogs {};

// The first button of each set: what a person who accepts the box presses.
int firstButton(BoxButtons buttons);
int firstButton(DialogButtons buttons);

// A box's text on one line: line breaks become the two characters \n.
std::string oneLine(std::string_view text);

} // namespace fw
