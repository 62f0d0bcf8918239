#pragma once
// A main window state on the scripted window and virtual time, started from a program file the
// test writes.
#include "app/Mainunit.h"
#include "app/testing/ScriptedMainWindow.h"
#include "bundle/tests/BundleFixtures.h"
#include "discovery/Refresh.h"
#include "discovery/testing/ScriptedSearchWindow.h"
#include "discovery/tests/FakeLan.h"
#include "messages/testing/ScriptedMessageWindows.h"
#include "platform/testing/FakeProbeSocket.h"
#include "platform/testing/VirtualLoop.h"

#include <cstring>

#include <gtest/gtest.h>
#include <optional>

namespace app::testing {

class AppFixture : public ::testing::Test {
protected:
    std::optional<fw::TempDir> inputs = fw::TempDir::create("fwtest-in-");
    std::optional<fw::TempDir> temp = fw::TempDir::create("fwtest-tmp-");
    ScriptedMainWindow window;
    fw::VirtualLoop loop;
    std::optional<TUpgradeForm1> form;
    fw::FakeProbeSocket socket;
    fw::FakeIcmpEcho echo;
    ScriptedSearchWindow searchWindow;
    std::optional<TRefreshForm> refresh;
    ScriptedMessageWindows messageWindows{loop};

    // Builds the window state for a program file with these bytes and runs its creation step.
    void create(std::vector<std::string> args, std::span<const std::byte> program)
    {
        const std::string path = bundle::testing::writeFile(*inputs, "fwupgrade", program);
        form.emplace(window, loop, StartContext{std::move(args), path, path, temp->prefix()});
        form->messageWindows = &messageWindows;
        window.bind(&*form);
        form->FormCreate();
        refresh.emplace(loop, socket, echo, searchWindow, &window);
        form->RefreshForm = &*refresh;
        window.markShown();
    }
    // Devices on the simulated LAN; each answers echo unless it is listed in silent.
    void lan(const std::vector<discovery::testing::SimDevice>& devices, std::set<std::string> silent = {})
    {
        discovery::testing::connect(socket, devices);
        for (const auto& d : devices) {
            if (!silent.count(d.address)) echo.answering.insert(d.address);
        }
    }
    void addRows(std::initializer_list<TRefreshForm::router_info> rows)
    {
        for (const auto& row : rows) refresh->deviceList.rows[refresh->deviceList.count++] = row;
    }
    void create(std::vector<std::string> args = {})
    {
        create(std::move(args), bundle::testing::bytesOf("a program without bundle"));
    }
    std::vector<std::string> logAfterVersionLines() const
    {
        if (window.log.size() < 2) return {};
        return {window.log.begin() + 2, window.log.end()};
    }
};

// A settings record with the fields a test sets; the rest as the settings tool writes them.
struct SettingsRecord {
    ControlSettings record{};
    SettingsRecord()
    {
        record.flags = 0x9F;
        text(record.searchAddr1, "default");
        text(record.searchAddr2, "default");
        text(record.searchAddr3, "default");
        text(record.searchAddr4, "default");
        text(record.caption, "default");
    }
    template <std::size_t N>
    SettingsRecord& text(char (&field)[N], std::string_view value)
    {
        copyToField(field, N, value);
        return *this;
    }
    std::vector<std::byte> bytes() const
    {
        std::vector<std::byte> out(sizeof record);
        std::memcpy(out.data(), &record, sizeof record);
        return out;
    }
};

// A program file whose bundle holds the settings record and the given images.
inline std::vector<std::byte> programWith(const SettingsRecord& settings, int images)
{
    std::vector<bundle::BundleRecord> records{{"control.cfg", Attribute::Control_File, settings.bytes()}};
    for (int i = 0; i < images; ++i)
        records.push_back(bundle::testing::record("img" + std::to_string(i) + ".bin", 0x080D, 8));
    return bundle::composeBundle(bundle::testing::filled(16), records);
}

} // namespace app::testing
