// Shortcuts: what the file actions leave at a file's old place or paste as
// a link. A shortcut is a symbolic link named <base>.lnk pointing at the
// target; its description goes into the extended attribute
// "user.xdg.comment" where the file system allows it.
#pragma once

#include <string>

namespace korvane {

inline constexpr const char* kShortcutDescriptionAttribute = "user.xdg.comment";

struct ShortcutDetails {
    std::string path;               // <base>.lnk
    int error = 0;                  // errno when the shortcut could not be made
    bool description_kept = false;  // the attribute was set on the link itself
};

// Makes the link <base>.lnk -> target (the target is stored as given and
// need not exist). An existing shortcut (a symbolic link) of that name is
// replaced in one step; any other entry of that name is kept and the call
// fails, so no file is ever lost to a shortcut. Failing to store the
// description does not fail the shortcut: Linux keeps "user." attributes
// only on files and folders, so on a link it is usually refused.
bool CreateShortcut(const std::string& base, const std::string& description, const std::string& target);
bool CreateShortcut(const std::string& base, const std::string& description, const std::string& target,
                    ShortcutDetails& details);

}  // namespace korvane
