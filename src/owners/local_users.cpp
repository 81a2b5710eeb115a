#include "owners/local_users.h"

#include <string>
#include <vector>

#include "platform/computer_name.h"

namespace korvane {

int ListLocalUsers(std::string_view server, AccountTree& tree, UserInterface& ui,
                   const AccountDatabase& accounts) {
    std::string name(server);
    if (name.empty())
        name = ComputerName();
    tree.Clear();
    const AccountTree::ItemId top = tree.AddItem(AccountTree::kNoItem, name.empty() ? "Unknown" : name, 0);
    const AccountTree::ItemId users = tree.AddItem(top, "Local Users", 0);
    tree.SortChildren(top);
    tree.Expand(top);

    std::vector<std::string> names;
    const int error = accounts.ListAccountNames(names);
    for (const std::string& account : names)
        tree.AddItem(users, account, 1);
    if (error != 0)
        ui.ShowMessage("Error enumerating users.", MessageIcon::Stop, MessageButtons::Ok);
    tree.SortChildren(users);
    tree.Expand(users);
    return static_cast<int>(names.size());
}

}  // namespace korvane
