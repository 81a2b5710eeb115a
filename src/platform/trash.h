// The freedesktop trash: moving a file, link or folder tree into the trash
// of the volume that holds it, with the info record that lets a file manager
// put it back. Written on POSIX calls rather than a toolkit's trash function
// because file names are bytes here: a name that is not valid UTF-8 must be
// trashed and restored like any other.
#pragma once

#include <string>

namespace korvane {

struct TrashedItem {
    std::string trash_folder;  // the trash used (holding files/ and info/)
    std::string trashed_path;  // where the item now is: <trash>/files/<name>
    std::string info_path;     // its record: <trash>/info/<name>.trashinfo
};

// The home trash: $XDG_DATA_HOME/Trash when that variable holds an absolute
// path, else $HOME/.local/share/Trash. Read from the environment on every
// call.
std::string HomeTrashPath();

// Moves the path itself (a final symbolic link is not followed) into a
// trash by renaming it: the home trash when the path lies on the same mount,
// else <mount point>/.Trash/<uid> (only when .Trash is a sticky folder and
// no link) or <mount point>/.Trash-<uid>. The record is written before the
// move and removed again when the move fails. Nothing is ever deleted: when
// no trash can take the item, it stays where it is and the call fails with
// `error` (an errno) and `error_text` saying why.
bool MoveToTrash(const std::string& path, TrashedItem& item, int& error, std::string& error_text);

// The record's Path value: every byte outside the unreserved URI characters
// and "/" written as %XX, so names of any bytes survive.
std::string EncodeTrashPath(const std::string& path);

}  // namespace korvane
