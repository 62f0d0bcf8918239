// The Qt main window on the offscreen platform: the designed controls, bound to the window state.
#include "app/qt/MainWindowQt.h"
#include "app/Mainunit.h"
#include "app/WindowDesign.h"
#include "bundle/tests/BundleFixtures.h"
#include "platform/testing/VirtualLoop.h"

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

    void SetUp() override
    {
        const std::string program = writeFile(*inputs, "fwupgrade", bytesOf("plain"));
        form.emplace(window, loop, StartContext{{}, program, program, temp->prefix()});
        window.bind(&*form);
        form->FormCreate();
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

} // namespace
