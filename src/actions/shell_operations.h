// The shell's file operations on a list of paths: copy or move into a
// folder, or delete into the trash. They run silently: no question is
// asked, no message is shown; every path gets its own outcome and the
// caller decides what counts as failure.
//
// A script's Copy and Move use CollisionRule::kRename, or kOverwrite with
// its overwrite option; its Delete is DeleteToTrash. Both copy and move
// make a missing destination folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace korvane {

enum class CollisionRule {
    // A name in use gets "name (2).ext", "name (3).ext", ... (folders and
    // names without an extension "name (2)").
    kRename,
    // A file or link of that name is replaced, a folder is merged into;
    // a file never replaces a folder nor a folder a file.
    kOverwrite,
    // A name in use fails that item and leaves the existing entry alone.
    kKeepExisting,
};

// How the last component of a source is read: the script's sources may be
// wild-card patterns; a result's selection names exact entries, whose names
// may hold "*" or "?".
enum class SourceNames { kPatterns, kExact };

struct ShellItemResult {
    std::string source;      // the path acted on (wild cards expanded)
    std::string target;      // where it is now: the copy, the moved entry, the trashed entry
    int error = 0;           // 0, or the errno of the first failure
    std::string error_text;  // the reason in words, naming the paths as they are (bytes)
    bool ok() const { return error == 0; }
};

struct ShellOperationResult {
    std::vector<ShellItemResult> items;  // in the order of the sources
    std::size_t failed = 0;
    // True when no item failed; also true for a list that named nothing.
    bool AllSucceeded() const { return failed == 0; }
    // The error text of the first failed item ("" when none failed).
    std::string FirstError() const;
};

// Copies each source into the destination folder under its own name (or
// the renamed one). Files are copied through a temporary name and renamed
// into place; folder trees recursively; links as links; permissions and
// times kept. A source whose last component holds "*" or "?" stands for
// the entries it matches; one that matches nothing fails. A folder is
// never copied into itself. With kOverwrite, copying a file onto itself
// fails ("the same file") and changes nothing; with kRename it makes
// "name (2).ext".
ShellOperationResult CopyFiles(const std::vector<std::string>& sources, const std::string& destination,
                               CollisionRule rule, SourceNames names = SourceNames::kPatterns);

// Moves each source into the destination folder by renaming it; across
// devices the entry is copied and the source removed only after the whole
// copy succeeded. Moving an entry to where it already is succeeds and
// changes nothing.
ShellOperationResult MoveFiles(const std::vector<std::string>& sources, const std::string& destination,
                               CollisionRule rule, SourceNames names = SourceNames::kPatterns);

// Moves each source into the freedesktop trash. An item the trash refuses
// fails and stays where it is: nothing is ever deleted outright.
ShellOperationResult DeleteToTrash(const std::vector<std::string>& sources,
                                   SourceNames names = SourceNames::kPatterns);

// The name for the n-th entry of that name (n >= 2): "name (n).ext", or
// "name (n)" for a folder or a name without an extension (a leading "."
// does not start an extension). The name part is cut when the whole would
// exceed the file system's 255-byte limit.
std::string CollisionName(const std::string& name, int n, bool is_folder);

}  // namespace korvane
