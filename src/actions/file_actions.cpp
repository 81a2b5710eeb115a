#include "actions/file_actions.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "actions/catalogue_sync.h"
#include "actions/file_handle.h"
#include "actions/shell_operations.h"
#include "actions/shortcut.h"
#include "actions/volume_lookup.h"
#include "app/text_helpers.h"
#include "catalogue/volume_fetch.h"
#include "platform/mount_table.h"
#include "scan/ftp/ftp_download.h"

namespace korvane {
namespace {

constexpr std::size_t kItemsPerStep = 64;

std::string LastComponentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

bool SameEntry(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool Exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

void NoteFailure(ActionOutcome& outcome, const std::string& text) {
    ++outcome.failed;
    if (outcome.first_error.empty()) {
        outcome.first_error = text;
    }
}

// One source with the rule its name conflict was answered with.
struct PlannedItem {
    std::string source;
    std::string intended;  // destination folder + the source's name
    CollisionRule rule = CollisionRule::kKeepExisting;
};

// Asks about every name in use before anything moves, so a Cancel changes
// nothing; a copy onto the very same entry keeps both without asking, a move
// of an entry to where it already is counts as done.
bool PlanTransfer(UserInterface& ui, const std::vector<std::string>& sources, const std::string& folder,
                  bool move, std::vector<PlannedItem>& plan, ActionOutcome& outcome) {
    bool have_answer_for_all = false;
    NameConflictReply for_all;
    for (const std::string& source : sources) {
        const std::string name = LastComponentOf(source);
        if (name.empty()) {
            NoteFailure(outcome, "Not a file or folder: " + source);
            continue;
        }
        PlannedItem item{source, JoinPath(folder, name, '/'), CollisionRule::kKeepExisting};
        struct stat from, to;
        if (::lstat(item.intended.c_str(), &to) == 0) {
            if (::lstat(source.c_str(), &from) == 0 && SameEntry(from, to)) {
                if (move) {
                    ++outcome.done;
                    continue;
                }
                item.rule = CollisionRule::kRename;
            } else {
                NameConflictReply reply =
                    have_answer_for_all ? for_all
                                        : ui.AskNameConflict(source, item.intended, S_ISDIR(to.st_mode));
                if (reply.for_all && !have_answer_for_all) {
                    have_answer_for_all = true;
                    for_all = reply;
                }
                if (reply.answer == NameConflictAnswer::Cancel) {
                    outcome.cancelled = true;
                    return false;
                }
                if (reply.answer == NameConflictAnswer::Skip) {
                    ++outcome.skipped;
                    continue;
                }
                item.rule = reply.answer == NameConflictAnswer::Replace ? CollisionRule::kOverwrite
                                                                        : CollisionRule::kRename;
            }
        }
        plan.push_back(std::move(item));
    }
    return true;
}

// Records what one transferred item left on disk: the source gone (a move)
// and the entry at its new place, or what a failed item left behind.
void SyncItem(CatalogueSync& sync, const PlannedItem& planned, const ShellItemResult& result, bool move) {
    if (move) {
        sync.EntryLeft(planned.source);
    }
    if (result.ok()) {
        sync.EntryArrived(result.target);
    } else if (planned.rule != CollisionRule::kRename && Exists(planned.intended)) {
        sync.EntryArrived(planned.intended);
    }
}

// Copies or moves the sources into the folder, a step of items at a time
// with the progress window, and keeps the catalogue in step.
void TransferInto(FileActionContext& context, const std::vector<std::string>& sources,
                  const std::string& folder, bool move, ProgressWindow* progress, CatalogueSync& sync,
                  ActionOutcome& outcome, std::vector<PlannedItem>* moved = nullptr) {
    std::vector<PlannedItem> plan;
    if (!PlanTransfer(context.ui, sources, folder, move, plan, outcome) || plan.empty()) {
        return;
    }
    if (progress != nullptr) {
        progress->Show();
        progress->SetTitle(move ? "Moving..." : "Copying...");
        progress->SetRange(0, 100);
        progress->SetPosition(0);
    }
    std::size_t next = 0;
    while (next < plan.size()) {
        if (progress != nullptr && progress->PollCancel()) {
            outcome.cancelled = true;
            break;
        }
        // One call for a run of items that share a rule.
        std::size_t end = next;
        std::vector<std::string> step;
        while (end < plan.size() && step.size() < kItemsPerStep && plan[end].rule == plan[next].rule) {
            step.push_back(plan[end].source);
            ++end;
        }
        if (progress != nullptr) {
            progress->SetFirstLine(plan[next].source);
            progress->SetSecondLine(folder);
        }
        const ShellOperationResult result =
            move ? MoveFiles(step, folder, plan[next].rule, SourceNames::kExact)
                 : CopyFiles(step, folder, plan[next].rule, SourceNames::kExact);
        for (std::size_t i = 0; i < result.items.size() && next + i < end; ++i) {
            const ShellItemResult& item = result.items[i];
            const PlannedItem& planned = plan[next + i];
            SyncItem(sync, planned, item, move);
            if (item.ok()) {
                ++outcome.done;
                outcome.placed.push_back(item.target);
                if (moved != nullptr) {
                    moved->push_back(PlannedItem{planned.source, item.target, planned.rule});
                }
            } else {
                NoteFailure(outcome, item.error_text);
            }
        }
        next = end;
        if (progress != nullptr) {
            progress->SetPosition(static_cast<int>(next * 100 / plan.size()));
        }
        context.ui.PumpMessages();
    }
    if (progress != nullptr) {
        progress->Close();
    }
}

// Files fetched from a site for Copy wait in a download folder of their own
// in the temporary folder; once they have been moved out, the folders they
// leave empty go too (rmdir takes only an empty folder).
void RemoveEmptiedDownloadFolders(const std::vector<std::string>& sources) {
    std::error_code error;
    std::string temp = std::filesystem::temp_directory_path(error).lexically_normal().string();
    while (temp.size() > 1 && temp.back() == '/') {
        temp.pop_back();
    }
    for (const std::string& source : sources) {
        const std::filesystem::path subfolder = std::filesystem::path(source).parent_path();
        const std::filesystem::path download = subfolder.parent_path();
        if (error || download.parent_path().lexically_normal().string() != temp ||
            !download.filename().string().starts_with("korvane-ftp-")) {
            continue;
        }
        ::rmdir(subfolder.c_str());
        ::rmdir(download.c_str());
    }
}

void FinishSync(CatalogueSync& sync, ActionOutcome& outcome) {
    outcome.catalogue_ok = sync.Finish() && outcome.catalogue_ok;
    outcome.hints |= sync.hints();
}

}  // namespace

std::string ShortcutBaseOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= name_start) {
        return path;
    }
    return path.substr(0, dot);
}

bool FilesToCopy(FileActionContext& context, const SelectionList& list, ProgressWindow* progress,
                 ClipboardFiles& files) {
    files = ClipboardFiles{};
    if (!list.held_ftp) {
        files.paths = list.paths;
        return !files.paths.empty();
    }
    FtpDownloadTarget target{context.catalogue, context.ui, context.event_log_path, {}, {}};
    const std::vector<int> skip(list.folder_ids.begin(), list.folder_ids.end());
    FtpDownloadResult result;
    if (!FtpDownload(target, list.paths, skip, progress, result)) {
        return false;
    }
    for (const FtpFetchedFile& file : result.files) {
        files.paths.push_back(file.local_path);
    }
    files.cut = true;
    return !files.paths.empty();
}

ActionOutcome PasteFiles(FileActionContext& context, const ClipboardFiles& files, const std::string& folder,
                         ProgressWindow* progress) {
    ActionOutcome outcome;
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    if (!sync.Begin()) {
        outcome.catalogue_ok = false;
    }
    TransferInto(context, files.paths, folder, files.cut, progress, sync, outcome);
    FinishSync(sync, outcome);
    if (files.cut) {
        RemoveEmptiedDownloadFolders(files.paths);
    }
    return outcome;
}

ActionOutcome PasteShortcuts(FileActionContext& context, const ClipboardFiles& files,
                             const std::string& folder, ProgressWindow* progress) {
    if (files.cut) {
        return PasteFiles(context, files, folder, progress);
    }
    ActionOutcome outcome;
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    if (!sync.Begin()) {
        outcome.catalogue_ok = false;
    }
    for (const std::string& source : files.paths) {
        const std::string name = LastComponentOf(source);
        if (name.empty()) {
            break;
        }
        const std::string base = ShortcutBaseOf(JoinPath(folder, name, '/'));
        ShortcutDetails details;
        if (CreateShortcut(base, std::string(kShortcutDescription), source, details)) {
            ++outcome.done;
            outcome.placed.push_back(details.path);
            sync.EntryArrived(details.path);
        } else {
            NoteFailure(outcome,
                        "Could not make the shortcut " + details.path + ": " + std::strerror(details.error));
        }
    }
    FinishSync(sync, outcome);
    return outcome;
}

ActionOutcome DeleteSelection(FileActionContext& context, const SelectionList& list,
                              ProgressWindow* progress) {
    ActionOutcome outcome;
    if (list.empty()) {
        return outcome;
    }
    if (list.holds_folder) {
        context.ui.ShowMessage(kDeletingFoldersMessage, MessageIcon::None, MessageButtons::Ok);
    }
    const std::string question =
        list.size() == 1
            ? "Are you sure you want to move \"" + DisplayText(list.paths.front()) + "\" to the trash?"
            : "Are you sure you want to move these " + std::to_string(list.size()) + " items to the trash?";
    if (context.ui.ShowMessage(question, MessageIcon::Question, MessageButtons::YesNo) !=
        MessageAnswer::Yes) {
        outcome.cancelled = true;
        return outcome;
    }
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    if (!sync.Begin()) {
        outcome.catalogue_ok = false;
    }
    if (progress != nullptr) {
        progress->Show();
        progress->SetTitle("Deleting...");
        progress->SetRange(0, 100);
        progress->SetPosition(0);
    }
    for (std::size_t next = 0; next < list.size(); next += kItemsPerStep) {
        if (progress != nullptr && progress->PollCancel()) {
            outcome.cancelled = true;
            break;
        }
        const std::size_t end = std::min(list.size(), next + kItemsPerStep);
        const std::vector<std::string> step(list.paths.begin() + static_cast<std::ptrdiff_t>(next),
                                            list.paths.begin() + static_cast<std::ptrdiff_t>(end));
        if (progress != nullptr) {
            progress->SetFirstLine(step.front());
        }
        const ShellOperationResult result = DeleteToTrash(step, SourceNames::kExact);
        for (std::size_t i = 0; i < result.items.size() && i < step.size(); ++i) {
            sync.EntryLeft(step[i]);
            if (result.items[i].ok()) {
                ++outcome.done;
                outcome.placed.push_back(result.items[i].target);
            } else {
                NoteFailure(outcome, result.items[i].error_text);
            }
        }
        if (progress != nullptr) {
            progress->SetPosition(static_cast<int>(end * 100 / list.size()));
        }
        context.ui.PumpMessages();
    }
    if (progress != nullptr) {
        progress->Close();
    }
    FinishSync(sync, outcome);
    return outcome;
}

bool RenameEntry(FileActionContext& context, const std::string& folder, const std::string& old_name,
                 const std::string& new_name, ActionOutcome& outcome) {
    if (StartsWithNoCase(folder, "ftp:")) {
        context.ui.ShowMessage(kFtpNotSupportedMessage, MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    if (new_name.empty() || new_name == old_name || new_name == "." || new_name == ".." ||
        new_name.find('/') != std::string::npos || new_name.find('\0') != std::string::npos) {
        return false;
    }
    const std::string from = JoinPath(folder, old_name, '/');
    const std::string to = JoinPath(folder, new_name, '/');
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            return false;
        }
        // A file system without the no-replace rename: a second name made by
        // link(2) cannot replace anything; a folder is renamed only when the
        // name is free.
        struct stat status;
        if (::lstat(from.c_str(), &status) != 0) {
            return false;
        }
        if (S_ISDIR(status.st_mode)) {
            if (Exists(to) || ::rename(from.c_str(), to.c_str()) != 0) {
                return false;
            }
        } else if (::link(from.c_str(), to.c_str()) != 0 || ::unlink(from.c_str()) != 0) {
            return false;
        }
    }
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    outcome.catalogue_ok = sync.Begin() && sync.EntryRenamed(to, old_name);
    FinishSync(sync, outcome);
    ++outcome.done;
    outcome.placed.push_back(to);
    return true;
}

int SetFileCompression(const std::string& path, bool compress, bool& changed) {
    changed = false;
    FileHandle file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.valid()) {
        return errno == ELOOP ? EINVAL : errno;
    }
    struct stat status;
    if (::fstat(file.get(), &status) != 0) {
        return errno;
    }
    if (S_ISDIR(status.st_mode)) {
        return EISDIR;
    }
    if (!S_ISREG(status.st_mode)) {
        return EINVAL;
    }
    int flags = 0;
    if (::ioctl(file.get(), FS_IOC_GETFLAGS, &flags) != 0) {
        return errno;
    }
    const bool compressed = (flags & FS_COMPR_FL) != 0;
    if (compressed == compress) {
        return 0;
    }
    flags = compress ? (flags | FS_COMPR_FL) : (flags & ~FS_COMPR_FL);
    if (::ioctl(file.get(), FS_IOC_SETFLAGS, &flags) != 0) {
        return errno;
    }
    changed = true;
    return 0;
}

int SetVolumeCompression(const NetWareRoutes& netware, const VolumeScanRecord& volume,
                         const std::string& path, bool compress) {
    if (volume.volume_type == 10 || volume.volume_type == 11) {
        return netware.set_compression ? netware.set_compression(volume, path, compress) : ENOSYS;
    }
    if (volume.volume_type != 1 && volume.volume_type != 0) {
        return EOPNOTSUPP;
    }
    bool changed = false;
    return SetFileCompression(path, compress, changed);
}

int SetVolumeOwner(const NetWareRoutes& netware, OwnerResolver& owners, const VolumeScanRecord& volume,
                   const std::string& path, std::string_view account) {
    if (volume.volume_type == 10 || volume.volume_type == 11) {
        return netware.set_owner ? netware.set_owner(volume, path, account) : ENOSYS;
    }
    if (volume.volume_type != 1 && volume.volume_type != 0) {
        return EOPNOTSUPP;
    }
    return owners.SetOwnerOfPath(volume.owner, path, account);
}

ActionOutcome CompressSelection(FileActionContext& context, const SelectionList& list, bool compress) {
    ActionOutcome outcome;
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    if (!sync.Begin()) {
        outcome.catalogue_ok = false;
    }
    VolumeLookup volumes(context.catalogue, context.tree);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list.folder_ids[i] != 0) {
            continue;
        }
        const std::string& path = list.paths[i];
        const VolumeScanRecord& volume = volumes.Of(path);
        const int code = SetVolumeCompression(context.netware, volume, path, compress);
        if (code != 0) {
            NoteFailure(outcome, "Could not " + std::string(compress ? "compress " : "uncompress ") + path +
                                     ": " + std::strerror(code));
            continue;
        }
        ++outcome.done;
        sync.EntryChanged(path);
    }
    FinishSync(sync, outcome);
    return outcome;
}

ActionOutcome LinkSelection(FileActionContext& context, const SelectionList& list,
                            const std::string& destination, ProgressWindow* progress) {
    ActionOutcome outcome;
    CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                       &context.netware.reads);
    if (!sync.Begin()) {
        outcome.catalogue_ok = false;
    }
    std::vector<PlannedItem> moved;
    TransferInto(context, list.paths, destination, true, progress, sync, outcome, &moved);
    for (const PlannedItem& item : moved) {
        ShortcutDetails details;
        if (CreateShortcut(ShortcutBaseOf(item.source), std::string(kShortcutDescription), item.intended,
                           details)) {
            sync.EntryArrived(details.path);
        } else {
            NoteFailure(outcome,
                        "Could not make the shortcut " + details.path + ": " + std::strerror(details.error));
        }
    }
    FinishSync(sync, outcome);
    return outcome;
}

bool CreateNewFolder(FileActionContext& context, const std::string& folder, std::string& name,
                     ActionOutcome& outcome) {
    if (StartsWithNoCase(folder, "ftp:")) {
        context.ui.ShowMessage(kFtpNotSupportedMessage, MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    for (int i = 0; i <= 255; ++i) {
        name = i == 0 ? std::string(kNewFolderName) : std::string(kNewFolderName) + " " + std::to_string(i);
        const std::string path = JoinPath(folder, name, '/');
        if (::mkdir(path.c_str(), 0777) == 0) {
            CatalogueSync sync(context.catalogue, context.tree, context.counters, context.owners,
                               &context.netware.reads);
            outcome.catalogue_ok = sync.Begin() && sync.EntryArrived(path);
            FinishSync(sync, outcome);
            ++outcome.done;
            outcome.placed.push_back(path);
            return true;
        }
        if (errno != EEXIST) {
            context.ui.ShowMessage(FillTemplate(kCouldNotCreateFolderMessage, path), MessageIcon::Exclamation,
                                   MessageButtons::Ok);
            name.clear();
            return false;
        }
    }
    name.clear();
    context.ui.ShowMessage(kCouldNotCreateNewFolderMessage, MessageIcon::Exclamation, MessageButtons::Ok);
    return false;
}

}  // namespace korvane
