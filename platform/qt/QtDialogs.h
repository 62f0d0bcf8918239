#pragma once
// Modal boxes on Qt, and the hop to the window thread for calls made from a worker.
#include "platform/WindowOps.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <string_view>

class QWidget;

namespace fw {

inline QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Shows a message box with one of the three button sets; returns the BoxAnswer pressed.
int showMessageBox(QWidget* parent, std::string_view text, std::optional<std::string_view> caption,
                   BoxButtons buttons);
// Shows a warning or error dialog; returns the BoxAnswer pressed.
int showDialog(QWidget* parent, DialogType type, std::string_view text, DialogButtons buttons);

// Runs fn on context's thread and returns when it has run: at once on that thread, otherwise through
// a blocking queued call, so calls from a worker keep their order and a box blocks the worker.
void onThreadOf(QObject* context, const std::function<void()>& fn);

} // namespace fw
