#include "app/qt/MainWindowQt.h"

#include "app/WindowDesign.h"
#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>
#include <algorithm>

using fw::onThreadOf;
using fw::toQString;

namespace {

std::string toStd(const QString& text)
{
    return text.toUtf8().toStdString();
}

constexpr int kStatusBarHeight = 20;

} // namespace

template <typename T>
T* MainWindowQt::make(MainControl control, QWidget* parent)
{
    auto* widget = new T(parent);
    widget->setObjectName(controlName(control));
    m_widgets[static_cast<int>(control)] = widget;
    return widget;
}

MainWindowQt::MainWindowQt()
{
    setObjectName("UpgradeForm1");
    setWindowTitle(design::kCaption);
    setFixedSize(design::kClientWidth, design::kClientHeight);

    auto group = [&](MainControl control, const char* title) {
        auto* box = make<QGroupBox>(control, this);
        box->setTitle(title);
        for (const auto& panel : design::kPanels) {
            if (panel.control == control) box->setGeometry(0, panel.top, design::kClientWidth, panel.height);
        }
        return box;
    };

    QGroupBox* search = group(MainControl::SearchGroup, "");
    auto* label1 = make<QLabel>(MainControl::Label1, search);
    label1->setText("Select one device. Or you can input IP manually :");
    label1->setGeometry(10, 4, 320, 16);
    m_entry = make<QComboBox>(MainControl::IPComBox, search);
    m_entry->setEditable(true);
    m_entry->setInsertPolicy(QComboBox::InsertAlphabetically);
    m_entry->setGeometry(10, 24, 245, 24);
    auto* refresh = make<QPushButton>(MainControl::IPReFresh, search);
    refresh->setText("Refresh");
    refresh->setGeometry(262, 23, 72, 26);

    QGroupBox* password = group(MainControl::PasswordGroup, "");
    auto* label2 = make<QLabel>(MainControl::Label2, password);
    label2->setText("Password");
    label2->setGeometry(10, 13, 58, 16);
    auto* userLabel = make<QLabel>(MainControl::UserLabel, password);
    userLabel->setText("UserID");
    userLabel->setGeometry(10, 13, 40, 16);
    userLabel->hide();
    m_password = make<QLineEdit>(MainControl::PasswordComBox, password);
    m_password->setEchoMode(QLineEdit::Password);
    // At most 9 typed characters; texts the program puts there may be longer.
    m_password->setValidator(new QRegularExpressionValidator{QRegularExpression{".{0,9}"}, m_password});
    m_password->setGeometry(70, 10, 259, 22);
    m_password->setEnabled(false);
    m_userID = make<QLineEdit>(MainControl::UserIDComBox, password);
    m_userID->setGeometry(50, 10, 90, 22);
    m_userID->hide();

    QGroupBox* files = group(MainControl::UpgreadFileGroup, "");
    auto* label3 = make<QLabel>(MainControl::Label3, files);
    label3->setText("Select Update File by yourself");
    label3->setGeometry(10, 4, 320, 16);
    m_fileName = make<QLineEdit>(MainControl::UpdateFileName, files);
    m_fileName->setReadOnly(true);
    m_fileName->setGeometry(10, 24, 245, 24);
    auto* browse = make<QPushButton>(MainControl::Browse, files);
    browse->setText("Browse");
    browse->setGeometry(262, 23, 72, 26);

    QGroupBox* tools = group(MainControl::ToolGroup, "");
    auto* upgrade = make<QPushButton>(MainControl::Upgrade, tools);
    upgrade->setText("Upgrade");
    upgrade->setGeometry(60, 7, 90, 26);
    upgrade->setEnabled(false);
    m_exit = make<QPushButton>(MainControl::Exit, tools);
    m_exit->setText("Exit");
    m_exit->setGeometry(194, 7, 90, 26);

    QGroupBox* progress = group(MainControl::ProgressGroup, "");
    m_progress = make<QProgressBar>(MainControl::ProgressBar1, progress);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setGeometry(6, 5, design::kClientWidth - 12, 15);

    QGroupBox* logGroup = group(MainControl::GSystemLog, "System Log");
    m_log = make<QPlainTextEdit>(MainControl::Memo1, logGroup);
    m_log->setReadOnly(true);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_log->setGeometry(6, 18, design::kClientWidth - 12, 137 - 24);

    m_status = make<QStatusBar>(MainControl::StatusBar1, this);
    m_status->setSizeGripEnabled(false);
    placeStatusBar();

    connect(m_entry, &QComboBox::currentTextChanged, this, [this] {
        if (m_events && m_shown) m_events->IPComBoxChange();
    });
    connect(refresh, &QPushButton::clicked, this, [this] {
        if (m_events) m_events->IPReFreshClick();
    });
    connect(browse, &QPushButton::clicked, this, [this] {
        if (m_events) m_events->BrowseClick();
    });
    connect(upgrade, &QPushButton::clicked, this, [this] {
        if (m_events) m_events->UpgradeClick();
    });
    connect(m_exit, &QPushButton::clicked, this, [this] {
        if (m_events) m_events->ExitClick();
    });
    connect(m_password, &QLineEdit::textChanged, this, [this] {
        if (m_events && m_shown) m_events->PasswordComBoxChange();
    });
    connect(m_userID, &QLineEdit::textChanged, this, [this] {
        if (m_events && m_shown) m_events->UserIDComBoxChange();
    });
    m_entry->lineEdit()->installEventFilter(this);
    m_exit->installEventFilter(this);
}

MainWindowQt::~MainWindowQt() = default;

void MainWindowQt::placeStatusBar()
{
    m_status->setGeometry(0, height() - kStatusBarHeight, width(), kStatusBarHeight);
}

void MainWindowQt::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_shown) return;
    m_shown = true;
    // Activation comes once the window is on screen, as its first event.
    QTimer::singleShot(0, this, [this] {
        if (m_events) m_events->FormActivate();
    });
}

void MainWindowQt::closeEvent(QCloseEvent* event)
{
    if (m_closing || !m_events) {
        event->accept();
        return;
    }
    if (!m_events->FormCloseQuery()) {
        event->ignore();
        return;
    }
    m_closing = true;
    m_events->FormClose();
    event->accept();
    QCoreApplication::quit();
}

bool MainWindowQt::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && m_events) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == m_entry->lineEdit() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            m_events->IPComBoxKeyPress('\r');
            return true;
        }
        if (watched == m_exit) {
            const int function =
                key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F12 ? key->key() - Qt::Key_F1 + 1 : 0;
            m_events->ExitKeyDown(function, key->modifiers().testFlag(Qt::AltModifier));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindowQt::addLine(std::string_view line)
{
    onThreadOf(this, [&] {
        // A new line after the last one; the log's first line stays the empty one it starts with.
        QTextCursor cursor{m_log->document()};
        cursor.movePosition(QTextCursor::End);
        cursor.insertBlock();
        cursor.insertText(toQString(line));
        m_log->verticalScrollBar()->setValue(m_log->verticalScrollBar()->maximum());
    });
}

void MainWindowQt::setStatus(std::string_view text)
{
    onThreadOf(this, [&] { m_status->showMessage(toQString(text)); });
}

void MainWindowQt::setMaximum(int maximum)
{
    onThreadOf(this, [&] {
        m_progressMaximum = maximum;
        m_progress->setMaximum(std::max(maximum, 1));
    });
}

void MainWindowQt::setPosition(int position)
{
    onThreadOf(this, [&] { m_progress->setValue(position); });
}

int MainWindowQt::maximum() const
{
    return m_progressMaximum;
}

int MainWindowQt::position() const
{
    return m_progress->value();
}

int MainWindowQt::messageBox(std::string_view text, std::optional<std::string_view> caption,
                             fw::BoxButtons buttons)
{
    int answer = 0;
    onThreadOf(this, [&] { answer = fw::showMessageBox(this, text, caption, buttons); });
    return answer;
}

int MainWindowQt::dialog(fw::DialogType type, std::string_view text, fw::DialogButtons buttons)
{
    int answer = 0;
    onThreadOf(this, [&] { answer = fw::showDialog(this, type, text, buttons); });
    return answer;
}

void MainWindowQt::setCaption(std::string_view caption)
{
    onThreadOf(this, [&] { setWindowTitle(toQString(caption)); });
}

std::string MainWindowQt::caption() const
{
    return toStd(windowTitle());
}

void MainWindowQt::setEnabled(MainControl control, bool enabled)
{
    onThreadOf(this, [&] { widget(control)->setEnabled(enabled); });
}

bool MainWindowQt::enabled(MainControl control) const
{
    return widget(control)->isEnabled();
}

void MainWindowQt::setVisible(MainControl control, bool visible)
{
    onThreadOf(this, [&] { widget(control)->setVisible(visible); });
}

bool MainWindowQt::visible(MainControl control) const
{
    return !widget(control)->isHidden();
}

void MainWindowQt::setLeft(MainControl control, int left)
{
    onThreadOf(this, [&] { widget(control)->move(left, widget(control)->y()); });
}

void MainWindowQt::setWidth(MainControl control, int width)
{
    onThreadOf(this, [&] { widget(control)->resize(width, widget(control)->height()); });
}

void MainWindowQt::setTop(MainControl control, int top)
{
    onThreadOf(this, [&] { widget(control)->move(widget(control)->x(), top); });
}

int MainWindowQt::top(MainControl control) const
{
    return widget(control)->y();
}

void MainWindowQt::setWindowHeight(int height)
{
    onThreadOf(this, [&] {
        setFixedSize(design::kClientWidth, height);
        placeStatusBar();
    });
}

int MainWindowQt::windowHeight() const
{
    return height();
}

std::string MainWindowQt::text(MainControl control) const
{
    switch (control) {
    case MainControl::IPComBox:
        return toStd(m_entry->currentText());
    case MainControl::PasswordComBox:
        return toStd(m_password->text());
    case MainControl::UserIDComBox:
        return toStd(m_userID->text());
    case MainControl::UpdateFileName:
        return toStd(m_fileName->text());
    default:
        return {};
    }
}

void MainWindowQt::setText(MainControl control, std::string_view text)
{
    onThreadOf(this, [&] {
        const QString value = toQString(text);
        switch (control) {
        case MainControl::IPComBox: {
            const QSignalBlocker quiet{m_entry}; // program changes of the entry run no handler
            m_entry->setEditText(value);
            break;
        }
        case MainControl::PasswordComBox:
            m_password->setText(value);
            break;
        case MainControl::UserIDComBox:
            m_userID->setText(value);
            break;
        case MainControl::UpdateFileName:
            m_fileName->setText(value);
            break;
        default:
            break;
        }
    });
}

void MainWindowQt::clearEntryLines()
{
    onThreadOf(this, [&] {
        const QSignalBlocker quiet{m_entry};
        const QString kept = m_entry->currentText();
        m_entry->clear();
        m_entry->setEditText(kept);
    });
}

void MainWindowQt::addEntryLine(std::string_view line)
{
    onThreadOf(this, [&] {
        const QSignalBlocker quiet{m_entry};
        const QString kept = m_entry->currentText();
        const QString value = toQString(line);
        int at = 0; // the list is kept sorted
        while (at < m_entry->count() && !entryLineBefore(line, toStd(m_entry->itemText(at)))) ++at;
        m_entry->insertItem(at, value);
        m_entry->setEditText(kept);
    });
}

int MainWindowQt::entryLineCount() const
{
    return m_entry->count();
}

void MainWindowQt::focusEntry()
{
    onThreadOf(this, [&] { m_entry->setFocus(); });
}

std::optional<std::vector<std::string>> MainWindowQt::chooseFiles(std::string_view filter)
{
    // "(BIN Files)|*.bin|(All Files)|*.*" becomes "(BIN Files) (*.bin);;(All Files) (*)".
    const QStringList parts = toQString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString pattern = parts[i + 1] == "*.*" ? "*" : parts[i + 1];
        filters << parts[i] + " (" + pattern + ")";
    }
    const QString nameFilter = filters.join(";;");
    std::optional<std::vector<std::string>> chosen;
    onThreadOf(this, [&] {
        if (m_chooser) {
            chosen = m_chooser(nameFilter);
            return;
        }
        QFileDialog dialog{this, "Open", QString{}, nameFilter};
        dialog.setObjectName("OpenDialog1");
        dialog.setFileMode(QFileDialog::ExistingFiles);
        dialog.setOption(QFileDialog::DontUseNativeDialog, false);
        dialog.setSizeGripEnabled(true);
        if (dialog.exec() != QDialog::Accepted) return;
        std::vector<std::string> files;
        for (const QString& file : dialog.selectedFiles()) files.push_back(toStd(file));
        chosen = std::move(files);
    });
    return chosen;
}

void MainWindowQt::closeWindow()
{
    onThreadOf(this, [&] { close(); });
}

void MainWindowQt::terminate()
{
    QCoreApplication::quit();
}

void MainWindowQt::release()
{
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
}
