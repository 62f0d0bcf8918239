#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace fw {
namespace {

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<ButtonSpec> buttonsOf(BoxButtons buttons)
{
    switch (buttons) {
    case BoxButtons::Ok:
        return {{QMessageBox::Ok, kAnswerOk}};
    case BoxButtons::OkCancel:
        return {{QMessageBox::Ok, kAnswerOk}, {QMessageBox::Cancel, kAnswerCancel}};
    case BoxButtons::YesNoCancel:
        return {{QMessageBox::Yes, kAnswerYes},
                {QMessageBox::No, kAnswerNo},
                {QMessageBox::Cancel, kAnswerCancel}};
    }
    return {{QMessageBox::Ok, kAnswerOk}};
}

std::vector<ButtonSpec> buttonsOf(DialogButtons buttons)
{
    switch (buttons) {
    case DialogButtons::Yes:
        return {{QMessageBox::Yes, kAnswerYes}};
    case DialogButtons::Ok:
        return {{QMessageBox::Ok, kAnswerOk}};
    case DialogButtons::YesNo:
        return {{QMessageBox::Yes, kAnswerYes}, {QMessageBox::No, kAnswerNo}};
    case DialogButtons::OkCancel:
        return buttonsOf(BoxButtons::OkCancel);
    case DialogButtons::YesNoCancel:
        return buttonsOf(BoxButtons::YesNoCancel);
    }
    return {{QMessageBox::Ok, kAnswerOk}};
}

int run(QMessageBox& box, const std::vector<ButtonSpec>& specs)
{
    QMessageBox::StandardButtons set;
    for (const auto& spec : specs) set |= spec.button;
    box.setStandardButtons(set);
    box.setDefaultButton(specs.front().button);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& spec : specs) {
        if (spec.button == pressed) return spec.answer;
    }
    // Closed with the title bar or Escape: the box's cancel answer when it has one.
    return specs.size() > 1 ? kAnswerCancel : specs.front().answer;
}

} // namespace

int showMessageBox(QWidget* parent, std::string_view text, std::optional<std::string_view> caption,
                   BoxButtons buttons)
{
    QMessageBox box(parent);
    box.setObjectName("MessageBox");
    box.setWindowTitle(caption ? toQString(*caption) : QCoreApplication::applicationName());
    box.setText(toQString(text));
    return run(box, buttonsOf(buttons));
}

int showDialog(QWidget* parent, DialogType type, std::string_view text, DialogButtons buttons)
{
    QMessageBox box(parent);
    box.setObjectName("MessageDialog");
    box.setIcon(type == DialogType::Warning ? QMessageBox::Warning : QMessageBox::Critical);
    box.setWindowTitle(type == DialogType::Warning ? "Warning" : "Error");
    box.setText(toQString(text));
    return run(box, buttonsOf(buttons));
}

void onThreadOf(QObject* context, const std::function<void()>& fn)
{
    if (QThread::currentThread() == context->thread()) {
        fn();
    } else {
        QMetaObject::invokeMethod(context, fn, Qt::BlockingQueuedConnection);
    }
}

} // namespace fw
