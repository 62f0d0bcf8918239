#pragma once
// The main window on Qt Widgets: a fixed-size dialog whose widgets carry the control names as object
// names. It forwards every operation to one widget and every user event to the logic's handler.
#include "app/MainWindowOps.h"

#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QStatusBar;

class MainWindowQt final : public QWidget, public MainWindowOps {
public:
    MainWindowQt();
    ~MainWindowQt() override;

    void bind(MainWindowEvents* events) override { m_events = events; }

    void addLine(std::string_view line) override;
    void setStatus(std::string_view text) override;
    void setMaximum(int maximum) override;
    void setPosition(int position) override;
    int maximum() const override;
    int position() const override;
    int messageBox(std::string_view text, std::optional<std::string_view> caption,
                   fw::BoxButtons buttons) override;
    int dialog(fw::DialogType type, std::string_view text, fw::DialogButtons buttons) override;

    void setCaption(std::string_view caption) override;
    std::string caption() const override;
    void setEnabled(MainControl control, bool enabled) override;
    bool enabled(MainControl control) const override;
    void setVisible(MainControl control, bool visible) override;
    bool visible(MainControl control) const override;
    void setLeft(MainControl control, int left) override;
    void setWidth(MainControl control, int width) override;
    void setTop(MainControl control, int top) override;
    int top(MainControl control) const override;
    void setWindowHeight(int height) override;
    int windowHeight() const override;
    std::string text(MainControl control) const override;
    void setText(MainControl control, std::string_view text) override;
    void clearEntryLines() override;
    void addEntryLine(std::string_view line) override;
    void setEntryText(std::string_view text) override { setText(MainControl::IPComBox, text); }
    int entryLineCount() const override;
    void focusEntry() override;
    std::optional<std::vector<std::string>> chooseFiles(std::string_view filter) override;

    // Tests put a scripted chooser in the place of the file dialog.
    using FileChooser = std::function<std::optional<std::vector<std::string>>(const QString& nameFilter)>;
    void setFileChooser(FileChooser chooser) { m_chooser = std::move(chooser); }
    void closeWindow() override;
    void terminate() override;
    void release() override;

    QWidget* widget(MainControl control) const { return m_widgets[static_cast<int>(control)]; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename T>
    T* make(MainControl control, QWidget* parent);
    void placeStatusBar();

    std::array<QWidget*, kMainControlCount> m_widgets{};
    QComboBox* m_entry = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_userID = nullptr;
    QLineEdit* m_fileName = nullptr;
    QPushButton* m_exit = nullptr;
    QProgressBar* m_progress = nullptr;
    QPlainTextEdit* m_log = nullptr;
    QStatusBar* m_status = nullptr;
    MainWindowEvents* m_events = nullptr;
    FileChooser m_chooser;
    int m_progressMaximum = 100; // a maximum of 0 is an empty bar here, not Qt's busy indicator
    bool m_shown = false;
    bool m_closing = false;
};
