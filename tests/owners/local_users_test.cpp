#include "owners/local_users.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/computer_name.h"
#include "support/recording_ui.h"

namespace korvane {
namespace {

using testing::RecordingUserInterface;

std::vector<std::string> ChildTexts(const AccountTree& tree, AccountTree::ItemId item) {
    std::vector<std::string> texts;
    for (auto child : tree.children(item))
        texts.push_back(tree.item(child).text);
    return texts;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The real database whose enumeration breaks off after a few accounts.
class BrokenEnumeration : public AccountDatabase {
  public:
    int ListAccountNames(std::vector<std::string>& names) const override {
        names = {"zoe", "Adam", "mike"};
        return EIO;
    }
};

TEST(LocalUsersTest, ListsEveryAccountSortedBelowServerAndLocalUsers) {
    RecordingUserInterface ui;
    AccountTree tree;
    tree.AddItem(AccountTree::kNoItem, "left over from before", 1);
    const int count = ListLocalUsers("fileserver", tree, ui);

    std::vector<std::string> expected;
    ASSERT_EQ(SystemAccountDatabase().ListAccountNames(expected), 0);
    EXPECT_EQ(count, static_cast<int>(expected.size()));
    EXPECT_TRUE(ui.messages.empty());

    ASSERT_EQ(tree.top_items().size(), 1u);
    const auto top = tree.top_items()[0];
    EXPECT_EQ(tree.item(top).text, "fileserver");
    EXPECT_EQ(tree.item(top).value, 0);
    EXPECT_TRUE(tree.item(top).expanded);
    const auto users = tree.Find(top, "Local Users");
    ASSERT_NE(users, AccountTree::kNoItem);
    EXPECT_TRUE(tree.item(users).expanded);
    EXPECT_EQ(tree.item(users).value, 0);

    auto listed = ChildTexts(tree, users);
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const std::string& a, const std::string& b) {
        return Lower(a) < Lower(b);
    }));
    for (auto child : tree.children(users))
        EXPECT_EQ(tree.item(child).value, 1);
    std::sort(listed.begin(), listed.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(listed, expected);
    EXPECT_NE(tree.Find(users, "root"), AccountTree::kNoItem);
}

TEST(LocalUsersTest, WithoutServerTheComputerNamesTheTop) {
    RecordingUserInterface ui;
    AccountTree tree;
    ListLocalUsers("", tree, ui);
    ASSERT_EQ(tree.top_items().size(), 1u);
    const std::string computer = ComputerName();
    EXPECT_EQ(tree.item(tree.top_items()[0]).text, computer.empty() ? "Unknown" : computer);
}

TEST(LocalUsersTest, BrokenEnumerationShowsErrorAndKeepsWhatWasRead) {
    RecordingUserInterface ui;
    AccountTree tree;
    BrokenEnumeration accounts;
    EXPECT_EQ(ListLocalUsers("host", tree, ui, accounts), 3);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Error enumerating users.");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Stop);
    const auto users = tree.Find(tree.top_items()[0], "Local Users");
    EXPECT_EQ(ChildTexts(tree, users), (std::vector<std::string>{"Adam", "mike", "zoe"}));
}

TEST(AccountTreeTest, DeletingChildrenDropsTheirSubtreeAndSelection) {
    AccountTree tree;
    const auto top = tree.AddItem(AccountTree::kNoItem, "Tree: CORP", 0);
    const auto org = tree.AddItem(top, "Sales", 0);
    const auto user = tree.AddItem(org, "anna", 1);
    tree.SetChildMarker(org, 1);
    tree.Select(user);
    tree.DeleteChildren(top);
    EXPECT_TRUE(tree.children(top).empty());
    EXPECT_TRUE(tree.item(org).deleted);
    EXPECT_TRUE(tree.item(user).deleted);
    EXPECT_EQ(tree.selected(), AccountTree::kNoItem);
    EXPECT_EQ(tree.Find(top, "Sales"), AccountTree::kNoItem);
    const auto again = tree.AddItem(top, "Sales", 0);
    EXPECT_EQ(tree.Find(top, "Sales"), again);
    tree.SetText(top, "Server: CORP");
    EXPECT_EQ(tree.item(top).text, "Server: CORP");
    tree.Clear();
    EXPECT_TRUE(tree.top_items().empty());
}

}  // namespace
}  // namespace korvane
