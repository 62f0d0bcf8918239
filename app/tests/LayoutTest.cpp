// The layouts: shown panels, their tops stacked under the search panel, and the window height.
#include "app/tests/AppFixture.h"

namespace {

using namespace app::testing;

struct LayoutCase {
    const char* label;
    int kind;
    std::uint8_t logShown;
    bool password, file, log;
    int height;
    friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.label; }
};

class Layouts : public AppFixture, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layouts, ShowAndStackThePanels)
{
    create();
    form->settings.record.flags = 0x9F;
    form->logShown = GetParam().logShown;
    form->ArrangeLayout(GetParam().kind);
    const LayoutCase& c = GetParam();
    EXPECT_EQ(window.visible(MainControl::PasswordGroup), c.password);
    EXPECT_EQ(window.visible(MainControl::UpgreadFileGroup), c.file);
    EXPECT_EQ(window.visible(MainControl::GSystemLog), c.log);
    EXPECT_TRUE(window.visible(MainControl::ProgressGroup));
    EXPECT_EQ(window.windowHeight(), c.height);
    int top = 57;
    for (const auto& [panel, height] : {std::pair{MainControl::PasswordGroup, 41},
                                        {MainControl::UpgreadFileGroup, 57},
                                        {MainControl::ToolGroup, 40},
                                        {MainControl::ProgressGroup, 25},
                                        {MainControl::GSystemLog, 137}}) {
        if (!window.visible(panel)) continue;
        EXPECT_EQ(window.top(panel), top) << controlName(panel);
        top += height;
    }
    EXPECT_EQ(form->logShown, c.logShown); // no layout of these sets it
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, Layouts,
    ::testing::Values(LayoutCase{"Everything", 1, 0, true, true, true, 359},
                      LayoutCase{"NoPasswordLogHidden", 2, 0, false, true, false, 359 - 41 + 14 - 137},
                      LayoutCase{"NoPasswordLogShown", 2, 1, false, true, true, 359 - 41 + 14},
                      LayoutCase{"PasswordAndFile", 3, 0, true, true, false, 359 + 4 - 137},
                      LayoutCase{"NeitherPasswordNorFile", 4, 0, false, false, false,
                                 359 - 41 - 57 + 4 - 137},
                      LayoutCase{"NeitherWithLog", 4, 1, false, false, true, 359 - 41 - 57 + 4},
                      LayoutCase{"PasswordOnly", 5, 0, true, false, false, 359 - 57 + 4 - 137}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(AppFixture, LogOnAndOffAddAndTakeTheLogPanel)
{
    create();
    form->ArrangeLayout(4);
    const int height = window.windowHeight();
    form->ArrangeLayout(6);
    EXPECT_TRUE(window.visible(MainControl::GSystemLog));
    EXPECT_EQ(window.windowHeight(), height + 137);
    form->logShown = 1;
    form->ArrangeLayout(6); // already shown: nothing changes
    EXPECT_EQ(window.windowHeight(), height + 137);
    form->ArrangeLayout(7);
    EXPECT_FALSE(window.visible(MainControl::GSystemLog));
    EXPECT_EQ(window.windowHeight(), height);
    form->ArrangeLayout(8); // not a layout
    EXPECT_EQ(window.windowHeight(), height);
}

TEST_F(AppFixture, TheLogFlagShowsTheLogAtEveryLayout)
{
    create();
    form->settings.record.flags = 0x9F | 0x20;
    form->ArrangeLayout(2);
    EXPECT_TRUE(window.visible(MainControl::GSystemLog));
    EXPECT_EQ(form->logShown, 1);
    EXPECT_EQ(form->listDetail, 222);
    EXPECT_EQ(window.windowHeight(), 359 - 41 + 14);
}

} // namespace
