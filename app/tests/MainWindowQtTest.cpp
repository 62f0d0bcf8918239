// The Qt main window on the offscreen platform: the designed controls, bound to the window state.
#include "app/qt/MainWindowQt.h"
#include "app/Mainunit.h"
#include "app/WindowDesign.h"
#include "bundle/tests/BundleFixtures.h"
#include "discovery/Refresh.h"
#include "discovery/testing/ScriptedSearchWindow.h"
#include "discovery/tests/FakeLan.h"
#include "platform/testing/FakeProbeSocket.h"
#include "platform/testing/VirtualLoop.h"

#include "messages/qt/MessageWindowQt.h"
#include "messages/tests/MessageBytes.h"

#include <QLineEdit>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextEdit>

#include <QGroupBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

using namespace bundle::testing;

class MainWindowQtTest : public ::testing::Test {
protected:
    std::optional<fw::TempDir> inputs = fw::TempDir::create("fwtest-in-");
    std::optional<fw::TempDir> temp = fw::TempDir::create("fwtest-tmp-");
    MainWindowQt window;
    fw::VirtualLoop loop;
    std::optional<TUpgradeForm1> form;
    fw::FakeProbeSocket socket;
    fw::FakeIcmpEcho echo;
    ScriptedSearchWindow searchWindow;
    std::optional<TRefreshForm> refresh;

    void SetUp() override
    {
        const std::string program = writeFile(*inputs, "fwupgrade", bytesOf("plain"));
        form.emplace(window, loop, StartContext{{}, program, program, temp->prefix()});
        window.bind(&*form);
        form->FormCreate();
        refresh.emplace(loop, socket, echo, searchWindow, &window);
        form->RefreshForm = &*refresh;
    }
    void show()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void TearDown() override { window.bind(nullptr); }
};

TEST_F(MainWindowQtTest, IsBuiltAsDesigned)
{
    EXPECT_EQ(window.size(), QSize(344, 359));
    EXPECT_EQ(window.windowTitle(), "Firmware Upgrade  V1.1.1");
    for (const auto& panel : design::kPanels) {
        auto* box = window.findChild<QGroupBox*>(controlName(panel.control));
        ASSERT_TRUE(box) << controlName(panel.control);
        EXPECT_EQ(box->y(), panel.top) << controlName(panel.control);
        EXPECT_EQ(box->height(), panel.height) << controlName(panel.control);
    }
    for (int i = 0; i < kMainControlCount; ++i) {
        const char* name = controlName(static_cast<MainControl>(i));
        EXPECT_TRUE(window.findChild<QWidget*>(name)) << name;
    }
    EXPECT_FALSE(window.findChild<QPushButton*>("Upgrade")->isEnabled());
    EXPECT_FALSE(window.findChild<QWidget*>("PasswordComBox")->isEnabled());
    EXPECT_TRUE(window.findChild<QWidget*>("UserLabel")->isHidden());
    EXPECT_TRUE(window.findChild<QWidget*>("UserIDComBox")->isHidden());
    // The log starts with one empty line; the creation step's lines follow it.
    EXPECT_EQ(window.findChild<QPlainTextEdit*>("Memo1")->toPlainText(),
              "\nProgram Version V1.1.1e\nProgram build at 2002/02/19 pm 1:48\nNo Imbed File Found !!");
    EXPECT_EQ(window.text(MainControl::UserIDComBox), "admin");
    show(); // activation lays the window out for the start
    EXPECT_TRUE(window.grab().save(FW_ARTIFACT_DIR "/main-window.png"));
}

TEST_F(MainWindowQtTest, ProgramChangesOfTheEntryKeepItsList)
{
    window.addEntryLine("192.168.0.1");
    window.addEntryLine("10.0.0.1");
    window.setText(MainControl::IPComBox, "10.0.0.7 typed");
    EXPECT_EQ(window.entryLineCount(), 2);
    EXPECT_EQ(window.text(MainControl::IPComBox), "10.0.0.7 typed");
    window.clearEntryLines();
    EXPECT_EQ(window.entryLineCount(), 0);
}

TEST_F(MainWindowQtTest, ClosingTheWindowDestroysTheReaderAndItsFiles)
{
    show();
    ASSERT_TRUE(form->bundle);
    window.close();
    EXPECT_FALSE(form->bundle);
}

TEST_F(MainWindowQtTest, LayoutsPlaceThePanelsAndAreSavedAsScreenshots)
{
    show();
    form->logShown = 1;
    for (int kind = 1; kind <= 5; ++kind) {
        form->ArrangeLayout(kind);
        int top = 57;
        for (const auto& panel : design::kPanels) {
            auto* box = window.findChild<QWidget*>(controlName(panel.control));
            if (panel.control == MainControl::SearchGroup || box->isHidden()) continue;
            EXPECT_EQ(box->y(), top) << "layout " << kind << " " << controlName(panel.control);
            top += panel.height;
        }
        EXPECT_EQ(window.findChild<QWidget*>("PasswordGroup")->isHidden(), kind == 2 || kind == 4) << kind;
        EXPECT_EQ(window.findChild<QWidget*>("UpgreadFileGroup")->isHidden(), kind == 4 || kind == 5) << kind;
        EXPECT_EQ(window.findChild<QStatusBar*>("StatusBar1")->geometry().bottom(), window.height() - 1);
        QCoreApplication::processEvents();
        EXPECT_TRUE(window.grab().save(QString{FW_ARTIFACT_DIR "/layout-%1.png"}.arg(kind)));
    }
}

TEST_F(MainWindowQtTest, ClickingThroughRefreshBrowseAndExit)
{
    discovery::testing::connect(socket, {{"192.168.0.1", {probe::kNormal}}});
    echo.answering = {"192.168.0.1"};
    show(); // the interactive start searches once
    socket.sent.clear();
    QTest::mouseClick(window.findChild<QPushButton*>("IPReFresh"), Qt::LeftButton);
    EXPECT_FALSE(socket.sent.empty());
    EXPECT_EQ(window.text(MainControl::IPComBox), "192.168.0.1");
    EXPECT_EQ(window.entryLineCount(), 1);
    EXPECT_FALSE(window.findChild<QWidget*>("PasswordGroup")->isHidden());
    EXPECT_TRUE(window.findChild<QWidget*>("PasswordComBox")->isEnabled());

    QString filter;
    window.setFileChooser([&](const QString& nameFilter) {
        filter = nameFilter;
        return std::optional<std::vector<std::string>>{{"/fw/a.bin", "/fw/b.bin"}};
    });
    QTest::mouseClick(window.findChild<QPushButton*>("Browse"), Qt::LeftButton);
    EXPECT_EQ(filter, "(BIN Files) (*.bin);;(EXE Files) (*.exe);;(All Files) (*)");
    EXPECT_EQ(window.text(MainControl::UpdateFileName), "/fw/a.bin; /fw/b.bin; ");
    EXPECT_TRUE(window.findChild<QPushButton*>("Upgrade")->isEnabled());

    auto* password = window.findChild<QLineEdit*>("PasswordComBox");
    QTest::keyClicks(password, "0123456789AB");
    EXPECT_EQ(password->text(), "012345678"); // at most 9 typed characters
    window.setText(MainControl::PasswordComBox, "a-longer-preset-password");
    EXPECT_EQ(password->text(), "a-longer-preset-password");
    EXPECT_EQ(window.findChild<QStatusBar*>("StatusBar1")->currentMessage(),
              "Confirm your password and press Upgrade button to upgrade");

    QTest::mouseClick(window.findChild<QPushButton*>("Exit"), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(form->bundle);
}

TEST(StartMessageQt, ShowsBeforeTheMainWindowWithItsRichText)
{
    auto inputs = fw::TempDir::create("fwtest-in-");
    auto temp = fw::TempDir::create("fwtest-tmp-");
    const std::string rtf = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}{\colortbl ;\red200\green0\blue0;})"
                            R"(\f0\fs24 Welcome to the \b\cf1 R2 upgrade\b0\cf0 .\par Please wait.})";
    const auto message = messages::testing::messageBytes({.name = "welcome",
                                                          .caption = "Welcome",
                                                          .liveTime = 3,
                                                          .background = 0x00E0FFFF,
                                                          .steady = 1,
                                                          .text = rtf});
    const std::string program = writeFile(
        *inputs, "fwupgrade",
        bundle::composeBundle(filled(8), std::vector<bundle::BundleRecord>{{"welcome", 0x0401, message}}));
    MainWindowQt window;
    fw::VirtualLoop loop;
    QtMessageWindows messageWindows;
    bool checked = false;
    messageWindows.onOpened = [&](MessageWindowQt& shown) {
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
        EXPECT_FALSE(window.isVisible()); // the main window comes later
        EXPECT_EQ(shown.windowTitle(), "Welcome");
        EXPECT_EQ(shown.size(), QSize(500, 300));
        const QString text = shown.textArea()->toPlainText();
        EXPECT_TRUE(text.contains("Welcome to the R2 upgrade.")) << text.toStdString();
        QTextCursor cursor{shown.textArea()->document()};
        cursor.setPosition(static_cast<int>(text.indexOf("R2")) + 1);
        EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
        EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(200, 0, 0));
        EXPECT_TRUE(shown.grab().save(FW_ARTIFACT_DIR "/start-message.png"));
        checked = true;
    };
    TUpgradeForm1 form{window, loop, StartContext{{}, program, program, temp->prefix()}};
    form.messageWindows = &messageWindows;
    window.bind(&form);
    form.FormCreate();
    EXPECT_TRUE(checked);
    EXPECT_EQ(loop.nowMs(), 400); // closed by its live time
    window.bind(nullptr);
}

} // namespace
