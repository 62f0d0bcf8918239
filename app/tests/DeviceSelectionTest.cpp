// Selecting a device in the entry, Enter on a typed address, and Refresh.
#include "app/tests/AppFixture.h"

namespace {

using namespace app::testing;
using discovery::testing::SimDevice;

class Selection : public AppFixture {
protected:
    void select(const std::string& entryText)
    {
        window.setText(MainControl::IPComBox, entryText);
        form->IPComBoxChange();
    }
};

struct SelectCase {
    const char* label;
    int state;
    std::string module;
    std::uint8_t flags;
    std::uint16_t filesPreset;
    std::string fileField;
    // what the selection leaves
    std::string password;
    std::uint16_t method;
    bool upgradeEnabled;
    bool passwordPanel;
    std::string status; // "" when none is set
    friend void PrintTo(const SelectCase& c, std::ostream* os) { *os << c.label; }
};

class SelectDevice : public Selection, public ::testing::WithParamInterface<SelectCase> {};

TEST_P(SelectDevice, PresetsLaysOutAndPicksTheMethod)
{
    const SelectCase& c = GetParam();
    create();
    form->settings.record.flags = c.flags;
    form->filesPreset = c.filesPreset;
    window.setText(MainControl::UpdateFileName, c.fileField);
    window.statuses.clear();
    addRows({{c.state, "10.0.0.1", c.module, "1.0"}});
    select("10.0.0.1   normal");
    EXPECT_EQ(window.text(MainControl::PasswordComBox), c.password);
    EXPECT_EQ(form->upgradeMethod, c.method);
    EXPECT_EQ(window.enabled(MainControl::Upgrade), c.upgradeEnabled);
    EXPECT_EQ(window.visible(MainControl::PasswordGroup), c.passwordPanel);
    EXPECT_EQ(window.status(), c.status);
}

constexpr std::uint8_t kUser = 0x9F, kFactory = 0x8F;

INSTANTIATE_TEST_SUITE_P(
    States, SelectDevice,
    ::testing::Values(SelectCase{"CrashedWithFiles", 0, "$Brisel", kUser, 1, "", "", 1, true, false,
                                 "Press Upgrade Button To Upgrade Router"},
                      SelectCase{"CrashedWithoutFiles", 0, "$Brisel", kUser, 0, "", "", 1, false, false,
                                 "Please select the upgrade files"},
                      SelectCase{"NormalUserReleasePresetFiles", 1, "XY", kUser, 1, "", "", 2, true, true,
                                 "Please input the password"},
                      SelectCase{"NormalFactoryRelease", 1, "XY", kFactory, 1, "", "qelvo", 2, true, false,
                                 "Press Upgrade Button To Upgrade Router"},
                      SelectCase{"FactoryReleaseMXV350", 1, "MXV350", kFactory, 1, "", "", 2, true, false,
                                 "Please input the password"},
                      SelectCase{"DefaultAddressChosenFiles", 2, "default IP", kUser, 0, "a.bin; ", "", 2,
                                 true, true, "Please input the password"},
                      SelectCase{"NormalWithoutFiles", 1, "XY", kUser, 0, "", "", 2, false, true,
                                 "Please select the upgrade files"},
                      SelectCase{"UnknownDeviceGoesByFtp", 6, "unknow module", kUser, 1, "", "", 3, true,
                                 true, "Please input the password"},
                      SelectCase{"CrashedUnreachable", 3, "$Brisel", kUser, 1, "", "", 0, false, false, ""},
                      SelectCase{"NormalUnreachable", 4, "XY", kUser, 1, "", "", 0, false, true, ""},
                      SelectCase{"Duplicate", -2, "XY", kUser, 1, "", "", 0, false, true, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Selection, TwoRowsWithOneAddressAreBothHandledAndTheLastDecides)
{
    create();
    form->filesPreset = 1;
    addRows({{1, "10.0.0.1", "XY", ""}, {4, "10.0.0.1", "XY", ""}});
    select("10.0.0.1");
    EXPECT_EQ(form->upgradeMethod, 0);
    EXPECT_FALSE(window.enabled(MainControl::Upgrade));
}

TEST_F(Selection, AnAddressNotFoundOnlyResetsTheUserField)
{
    create();
    window.setVisible(MainControl::UserIDComBox, true);
    window.setText(MainControl::UserIDComBox, "root");
    const int height = window.windowHeight();
    select("10.9.9.9");
    EXPECT_EQ(window.text(MainControl::UserIDComBox), "admin");
    EXPECT_FALSE(window.visible(MainControl::UserIDComBox));
    EXPECT_EQ(window.windowHeight(), height);
    EXPECT_EQ(window.left(MainControl::PasswordComBox), 70);
    EXPECT_EQ(window.width(MainControl::PasswordComBox), 259);
}

TEST_F(Selection, AGivenPasswordIsKept)
{
    create({"set", "10.0.0.1", "secret", "null"});
    form->settings.record.flags = kFactory;
    addRows({{1, "10.0.0.1", "XY", ""}});
    select("10.0.0.1");
    EXPECT_EQ(window.text(MainControl::PasswordComBox), "secret");
}

TEST_F(Selection, EnterProbesTheTypedAddressAndSelectsIt)
{
    create();
    form->filesPreset = 1;
    lan({{"10.0.0.7", {probe::kNormal}}});
    window.setText(MainControl::IPComBox, "10.0.0.7 my router");
    form->IPComBoxKeyPress('a');
    EXPECT_TRUE(socket.sent.empty());
    form->IPComBoxKeyPress('\r');
    EXPECT_EQ(socket.sent.front().to.address, "10.0.0.7");
    EXPECT_EQ(window.text(MainControl::IPComBox), "10.0.0.7");
    EXPECT_EQ(form->upgradeMethod, 2);
    EXPECT_EQ(window.status(), "Please input the password");
}

TEST_F(Selection, RefreshSearchesShowsTheListAndSelectsTheFirstDevice)
{
    create();
    form->filesPreset = 1;
    form->logShown = 1;
    lan({{"192.168.0.1", {probe::kNormal}}});
    form->IPReFreshClick();
    EXPECT_EQ(searchWindow.shown, 1);
    EXPECT_EQ(window.statuses.front(), "Please Wait for Searching Router...");
    EXPECT_EQ(window.entryLines(), std::vector<std::string>{"192.168.0.1"});
    EXPECT_EQ(window.text(MainControl::IPComBox), "192.168.0.1");
    EXPECT_EQ(form->logShown, 0);
    EXPECT_FALSE(window.visible(MainControl::GSystemLog)); // hidden by the layout that followed
    EXPECT_EQ(window.status(), "Please input the password");
    EXPECT_TRUE(window.enabled(MainControl::Upgrade));
}

TEST(AddressOf, IsTheTextUpToTheFirstBlank)
{
    EXPECT_EQ(AddressOf("10.0.0.1 and more words"), "10.0.0.1");
    EXPECT_EQ(AddressOf("10.0.0.1"), "10.0.0.1");
    EXPECT_EQ(AddressOf(""), "");
}

} // namespace
