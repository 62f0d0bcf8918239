#pragma once
// A main window state on the scripted window and virtual time, started from a program file the
// test writes.
#include "app/Mainunit.h"
#include "app/testing/ScriptedMainWindow.h"
#include "bundle/tests/BundleFixtures.h"
#include "platform/testing/VirtualLoop.h"

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

    // Builds the window state for a program file with these bytes and runs its creation step.
    void create(std::vector<std::string> args, std::span<const std::byte> program)
    {
        const std::string path = bundle::testing::writeFile(*inputs, "fwupgrade", program);
        form.emplace(window, loop, StartContext{std::move(args), path, path, temp->prefix()});
        window.bind(&*form);
        form->FormCreate();
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

} // namespace app::testing
