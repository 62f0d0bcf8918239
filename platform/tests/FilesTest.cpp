// Files and the private temporary directory.
#include "platform/File.h"
#include "platform/TempDir.h"
#include "platform/posix/OwnExecutable.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace fw {
namespace {

TEST(TempDir, IsPrivateAndRemovedWithWhatItHolds)
{
    std::string path;
    {
        auto dir = TempDir::create("fwtest-");
        ASSERT_TRUE(dir);
        path = dir->path();
        EXPECT_EQ(fileMode(path), 0700u);
        EXPECT_TRUE(dir->prefix().ends_with("/"));
        File f = File::createFresh(dir->prefix() + "a.tmp");
        ASSERT_TRUE(f.write(asBytes("data")));
    }
    EXPECT_FALSE(fileExists(path));
}

TEST(File, CreateFreshReplacesAnExistingFileAndALinkIsNotFollowed)
{
    auto dir = TempDir::create("fwtest-");
    ASSERT_TRUE(dir);
    const std::string target = dir->prefix() + "target";
    const std::string name = dir->prefix() + "name";
    File::createFresh(target).write(asBytes("keep"));
    ASSERT_EQ(::symlink(target.c_str(), name.c_str()), 0);
    File fresh = File::createFresh(name);
    ASSERT_TRUE(fresh.write(asBytes("new")));
    fresh.close();
    EXPECT_EQ(File::openRead(target).size(), 4); // the link was replaced, its target untouched
    EXPECT_EQ(File::openRead(name).size(), 3);
}

TEST(File, ReadsNeverPassTheEnd)
{
    auto dir = TempDir::create("fwtest-");
    ASSERT_TRUE(dir);
    const std::string path = dir->prefix() + "f";
    File::createFresh(path).write(asBytes("0123456789"));
    File f = File::openRead(path);
    EXPECT_TRUE(f.readAt(6, 4));
    EXPECT_FALSE(f.readAt(6, 5));
    EXPECT_FALSE(f.readAt(-1, 1));
    EXPECT_FALSE(File::openRead(dir->prefix() + "missing").isOpen());
}

TEST(OwnExecutable, OpensThroughProcAndNamesTheRealFile)
{
    const OwnExecutable self = ownExecutable();
    EXPECT_EQ(self.openPath, "/proc/self/exe");
    EXPECT_TRUE(self.path.ends_with("/platform_tests"));
    EXPECT_EQ(withoutDeletedMark("/usr/bin/x (deleted)"), "/usr/bin/x");
    EXPECT_EQ(withoutDeletedMark("/usr/bin/x"), "/usr/bin/x");
}

} // namespace
} // namespace fw
