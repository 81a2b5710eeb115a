// The account list of POSIX volumes for the Set File Owner dialog.
#pragma once

#include <string_view>

#include "app/user_interface.h"
#include "owners/account_tree.h"
#include "platform/account_database.h"

namespace korvane {

// Empties the tree and lists the accounts of this machine's name service
// below a top item with the server name (the volume's server, else this
// computer's name, else "Unknown") and its child "Local Users". A network
// volume's owners are uids of this name service too, so its accounts are
// the same list. Returns the number of accounts listed; a failing account
// database shows "Error enumerating users." and keeps what was read.
int ListLocalUsers(std::string_view server, AccountTree& tree, UserInterface& ui,
                   const AccountDatabase& accounts = SystemAccountDatabase());

}  // namespace korvane
