#pragma once
// A test-LAN case of the built fwupgrade: a folder of its own with the program's TMPDIR and the
// simulated router's store, the bundle packed from a manifest, and one run on the console front end
// with routersim on the router side. No temporary file of the program may be left at the end.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "tests/e2e/ProcessRunner.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace e2e {

class LanCase : public ::testing::Test {
protected:
    explicit LanCase(const std::string& prefix) : work{fw::TempDir::create(prefix)} {}

    void SetUp() override
    {
        ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
        // The device's FTP server may run as another user.
        ASSERT_EQ(::mkdir(store.c_str(), 0777), 0);
        ASSERT_EQ(::chmod(store.c_str(), 0777), 0);
    }
    void TearDown() override { EXPECT_TRUE(fw::directoryEntries(tmp).empty()); }

    // A file of the work folder with these bytes.
    void writeWorkFile(const std::string& name, const std::string& content)
    {
        fw::File::createTruncated(work->prefix() + name).write(fw::asBytes(content));
    }
    // The shipped program packed from this manifest (paths relative to the work folder).
    std::string packManifest(const std::string& manifest, const std::string& programName)
    {
        writeWorkFile("bundle.manifest", manifest);
        const std::string program = work->prefix() + programName;
        const Outcome o = packShipped(program, work->prefix() + "bundle.manifest");
        EXPECT_EQ(o.status, 0) << o.err;
        return program;
    }
    // routersim's arguments on the router side at 192.168.1.1; on the PC side the program and its
    // arguments, with the test's TMPDIR, on the console front end.
    Outcome onLan(const std::string& routersimArgs, const std::vector<std::string>& program,
                  std::chrono::seconds limit = std::chrono::seconds{90})
    {
        RunSpec spec;
        spec.argv = {sourcePath("tests/lan/testlan.sh"),
                     "--router-addr",
                     "192.168.1.1",
                     "--router",
                     binary("routersim") + " " + routersimArgs,
                     "--",
                     "env",
                     "TMPDIR=" + tmp,
                     "FWUPGRADE_CONSOLE=1"};
        spec.argv.insert(spec.argv.end(), program.begin(), program.end());
        spec.env = {{"PATH", "/usr/sbin:/usr/bin:/sbin:/bin"}, {"LANG", "C.UTF-8"}};
        spec.limit = limit;
        return runCommand(spec);
    }
    // The bytes of a file, or "<none>".
    static std::string contentOf(const std::string& path)
    {
        const auto bytes = fw::File::openRead(path).readAll();
        return bytes ? std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()) : "<none>";
    }

    std::optional<fw::TempDir> work;
    std::string tmp = work->prefix() + "tmp";
    std::string store = work->prefix() + "store";
};

} // namespace e2e
