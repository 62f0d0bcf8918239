// The search window on the offscreen platform.
#include "discovery/qt/SearchWindowQt.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest/QTest>
#include <gtest/gtest.h>

namespace {

TEST(SearchWindowQt, ShowsItsCaptionLabelsAndProgressAndSavesAScreenshot)
{
    SearchWindowQt window{nullptr};
    window.showSearching();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Searching for installed device(s)...");
    EXPECT_EQ(window.size(), QSize(300, 107));
    EXPECT_EQ(window.findChild<QLabel*>("Label1")->text(), "Searching for installed device(s)");
    EXPECT_EQ(window.findChild<QLabel*>("Label2")->text(), "Please Wait ...");
    window.setPosition(40);
    EXPECT_EQ(window.findChild<QProgressBar*>("ProgressBar1")->value(), 40);
    EXPECT_TRUE(window.grab().save(FW_ARTIFACT_DIR "/search-window.png"));
    window.closeSearching();
    EXPECT_FALSE(window.isVisible());
}

} // namespace
