#include <gtest/gtest.h>
#include <sys/xattr.h>

#include "actions/shell_operations.h"
#include "actions/shortcut.h"
#include "actions/tree_helpers.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::Exists;
using testing::IsLink;
using testing::LinkText;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

std::string StoredDescription(const std::string& path) {
    char value[1024];
    const ssize_t length = ::lgetxattr(path.c_str(), kShortcutDescriptionAttribute, value, sizeof value);
    return length < 0 ? std::string() : std::string(value, static_cast<std::size_t>(length));
}

TEST(ShortcutTest, MakesALinkNamedAfterTheBaseAndReplacesOnlyAnOlderShortcut) {
    TempDir temp;
    ASSERT_TRUE(WriteFileBytes(temp / "target one.txt", "one"));
    ASSERT_TRUE(WriteFileBytes(temp / "target two.txt", "two"));

    ShortcutDetails details;
    ASSERT_TRUE(
        CreateShortcut(temp / "report", "Shortcut created by Korvane...", temp / "target one.txt", details));
    EXPECT_EQ(details.path, temp / "report.lnk");
    EXPECT_TRUE(IsLink(temp / "report.lnk"));
    EXPECT_EQ(LinkText(temp / "report.lnk"), temp / "target one.txt");
    EXPECT_EQ(ReadFileBytes(temp / "report.lnk"), "one");
    // Linux keeps "user." attributes on files and folders only; where the
    // link took it, it must be the description.
    if (details.description_kept) {
        EXPECT_EQ(StoredDescription(temp / "report.lnk"), "Shortcut created by Korvane...");
    }

    ASSERT_TRUE(CreateShortcut(temp / "report", "Shortcut created by Korvane...", temp / "target two.txt"));
    EXPECT_EQ(ReadFileBytes(temp / "report.lnk"), "two");

    ASSERT_TRUE(WriteFileBytes(temp / "real.lnk", "a real file"));
    EXPECT_FALSE(
        CreateShortcut(temp / "real", "Shortcut created by Korvane...", temp / "target one.txt", details));
    EXPECT_EQ(details.error, EEXIST);
    EXPECT_FALSE(IsLink(temp / "real.lnk"));
    EXPECT_EQ(ReadFileBytes(temp / "real.lnk"), "a real file");

    EXPECT_FALSE(CreateShortcut(temp / "no/such/folder/x", "d", temp / "target one.txt", details));
    EXPECT_EQ(details.error, ENOENT);
    EXPECT_FALSE(CreateShortcut("", "d", temp / "target one.txt"));
    EXPECT_FALSE(CreateShortcut(temp / "empty-target", "d", ""));
    EXPECT_FALSE(Exists(temp / "empty-target.lnk"));
}

TEST(ShortcutTest, AMoveWithShortcutsLeftBehindStillReachesEveryFile) {
    TempDir temp;
    const std::string data = temp / "data";
    const std::string archive = temp / "archive";
    ASSERT_EQ(::mkdir(data.c_str(), 0755), 0);
    const std::vector<std::string> names = {"report.doc", "odd, \"name\"\n\xFF"};
    std::vector<std::string> sources;
    for (const std::string& name : names) {
        ASSERT_TRUE(WriteFileBytes(data + "/" + name, "content of " + name));
        sources.push_back(data + "/" + name);
    }

    const ShellOperationResult moved = MoveFiles(sources, archive, CollisionRule::kOverwrite);
    ASSERT_TRUE(moved.AllSucceeded()) << moved.FirstError();
    for (std::size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(CreateShortcut(sources[i], "Moved by Korvane...", moved.items[i].target));
    }

    for (const std::string& name : names) {
        EXPECT_FALSE(Exists(data + "/" + name));
        EXPECT_TRUE(IsLink(data + "/" + name + ".lnk"));
        EXPECT_EQ(ReadFileBytes(data + "/" + name + ".lnk"), "content of " + name);
        EXPECT_EQ(ReadFileBytes(archive + "/" + name), "content of " + name);
    }
}

}  // namespace
}  // namespace korvane
