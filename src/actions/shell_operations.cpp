#include "actions/shell_operations.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "actions/entry_transfer.h"
#include "actions/file_handle.h"
#include "actions/source_pattern.h"
#include "app/text_helpers.h"
#include "platform/trash.h"

namespace korvane {
namespace {

constexpr int kMaxCollisionNumber = 9999;

enum class Transfer { kCopy, kMove };

const char* VerbOf(Transfer kind) {
    return kind == Transfer::kCopy ? "copy" : "move";
}

// The items of the sources in their order: one per path, or one per entry
// a wild card matches; a pattern that matches nothing or cannot be listed
// is an item that failed already.
std::vector<ShellItemResult> ExpandSources(const std::vector<std::string>& sources, SourceNames names) {
    std::vector<ShellItemResult> items;
    for (const std::string& source : sources) {
        ShellItemResult item;
        item.source = source;
        if (names == SourceNames::kExact || !HasWildcard(source)) {
            items.push_back(item);
            continue;
        }
        std::vector<std::string> matches;
        const int code = ExpandWildcard(source, matches);
        if (code == 0 && !matches.empty()) {
            for (const std::string& match : matches) {
                item.source = match;
                items.push_back(item);
            }
            continue;
        }
        item.error = code != 0 ? code : ENOENT;
        item.error_text = code != 0 ? "Could not list the folder of " + source + ": " + std::strerror(code)
                                    : "No file matches " + source;
        items.push_back(item);
    }
    return items;
}

void Record(ShellOperationResult& result, ShellItemResult item) {
    if (!item.ok())
        ++result.failed;
    result.items.push_back(std::move(item));
}

// Creates each missing folder of the path (as "mkdir -p" does).
int MakeFolders(const std::string& path) {
    std::string part;
    for (std::size_t pos = 0; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        part = path.substr(0, pos);
        if (part.empty())
            continue;
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat status;
    if (::stat(path.c_str(), &status) != 0)
        return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

// Splits a source into its folder and its name; false for a path that
// names no entry of a folder ("", "/", ".", "..").
bool SplitSource(const std::string& source, std::string& folder, std::string& name) {
    std::string path = source;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
    } else {
        folder = slash == 0 ? "/" : path.substr(0, slash);
        name = path.substr(slash + 1);
    }
    return !name.empty() && name != "." && name != "..";
}

std::string DescribeFailure(Transfer kind, const std::string& source, const std::string& destination,
                            const TransferFailure& failure) {
    std::string text = std::string("Could not ") + VerbOf(kind) + " " + source + " to " + destination + ": ";
    if (failure.same_file)
        return text + "source and destination are the same file";
    text += failure.step + " " + failure.entry + ": " + std::strerror(failure.error);
    if (failure.source_left)
        text += " (the copy is complete; the source was not removed)";
    return text;
}

ShellItemResult TransferOne(Transfer kind, const std::string& source, int destination_fd,
                            const std::string& destination, CollisionRule rule) {
    ShellItemResult item;
    item.source = source;
    const std::string failed_text =
        std::string("Could not ") + VerbOf(kind) + " " + source + " to " + destination;
    std::string folder, name;
    if (!SplitSource(source, folder, name)) {
        item.error = EINVAL;
        item.error_text = failed_text + ": the path names no file or folder";
        return item;
    }
    FileHandle parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat status;
    if (!parent.valid() || ::fstatat(parent.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        item.error = errno;
        item.error_text = failed_text + ": " + std::strerror(item.error);
        return item;
    }
    const bool is_folder = S_ISDIR(status.st_mode);
    if (is_folder && FolderLiesWithin(destination_fd, status.st_dev, status.st_ino)) {
        item.error = EINVAL;
        item.error_text = failed_text + ": a folder cannot go into itself";
        return item;
    }
    const ExistingTarget existing =
        rule == CollisionRule::kOverwrite ? ExistingTarget::kReplace : ExistingTarget::kKeep;
    TransferFailure failure;
    for (int n = 1; n <= kMaxCollisionNumber; ++n) {
        const std::string target = n == 1 ? name : CollisionName(name, n, is_folder);
        const bool done =
            kind == Transfer::kCopy
                ? CopyEntryAt(parent.get(), name, status, destination_fd, target, existing, failure)
                : MoveEntryAt(parent.get(), name, status, destination_fd, target, existing, failure);
        if (done) {
            item.target = JoinPath(destination, target, '/');
            return item;
        }
        if (!failure.target_taken || rule != CollisionRule::kRename)
            break;
    }
    item.error = failure.error != 0 ? failure.error : EEXIST;
    item.error_text = DescribeFailure(kind, source, destination, failure);
    return item;
}

ShellOperationResult RunTransfer(Transfer kind, const std::vector<std::string>& sources,
                                 const std::string& destination, CollisionRule rule, SourceNames names) {
    ShellOperationResult result;
    const std::vector<ShellItemResult> items = ExpandSources(sources, names);
    bool any = false;
    for (const ShellItemResult& item : items)
        any = any || item.ok();
    // Nothing to put there: the destination is not made either.
    int code = 0;
    FileHandle destination_fd;
    if (any) {
        code = destination.empty() ? ENOENT : MakeFolders(destination);
        if (code == 0) {
            destination_fd = FileHandle(::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (!destination_fd.valid())
                code = errno;
        }
    }
    for (const ShellItemResult& expanded : items) {
        if (!expanded.ok()) {
            Record(result, expanded);
        } else if (code != 0) {
            ShellItemResult item = expanded;
            item.error = code;
            item.error_text = std::string("Could not ") + VerbOf(kind) + " " + item.source + " to " +
                              destination +
                              ": the destination folder cannot be made or opened: " + std::strerror(code);
            Record(result, std::move(item));
        } else {
            Record(result, TransferOne(kind, expanded.source, destination_fd.get(), destination, rule));
        }
    }
    return result;
}

}  // namespace

std::string ShellOperationResult::FirstError() const {
    for (const ShellItemResult& item : items) {
        if (!item.ok())
            return item.error_text;
    }
    return "";
}

std::string CollisionName(const std::string& name, int n, bool is_folder) {
    std::string stem = name, extension;
    const auto dot = name.find_last_of('.');
    if (!is_folder && dot != std::string::npos && dot > 0) {
        stem = name.substr(0, dot);
        extension = name.substr(dot);
    }
    const std::string number = " (" + std::to_string(n) + ")";
    std::size_t room =
        NAME_MAX > number.size() + extension.size() ? NAME_MAX - number.size() - extension.size() : 0;
    if (stem.size() > room) {
        // Cut at a character boundary so a UTF-8 name stays valid.
        while (room > 0 && (static_cast<unsigned char>(stem[room]) & 0xC0) == 0x80)
            --room;
        stem.resize(room);
    }
    return stem + number + extension;
}

ShellOperationResult CopyFiles(const std::vector<std::string>& sources, const std::string& destination,
                               CollisionRule rule, SourceNames names) {
    return RunTransfer(Transfer::kCopy, sources, destination, rule, names);
}

ShellOperationResult MoveFiles(const std::vector<std::string>& sources, const std::string& destination,
                               CollisionRule rule, SourceNames names) {
    return RunTransfer(Transfer::kMove, sources, destination, rule, names);
}

ShellOperationResult DeleteToTrash(const std::vector<std::string>& sources, SourceNames names) {
    ShellOperationResult result;
    for (ShellItemResult item : ExpandSources(sources, names)) {
        if (item.ok()) {
            TrashedItem trashed;
            if (MoveToTrash(item.source, trashed, item.error, item.error_text)) {
                item.target = trashed.trashed_path;
            } else if (item.error == 0) {
                item.error = EIO;
            }
        }
        Record(result, std::move(item));
    }
    return result;
}

}  // namespace korvane
