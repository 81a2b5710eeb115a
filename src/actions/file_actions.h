// The file actions of a result on real files, each followed by the catalogue
// update that makes the catalogue match the disk again (CatalogueSync): for
// every entry the outcome is read from the disk, so a partly failed or
// cancelled action leaves the catalogue as the disk is.
//
// Safety: nothing is overwritten without the person's answer (replace, keep
// both, skip; an unattended run skips), deletes go to the trash, renames
// never replace, a move across file systems copies completely before the
// source goes. Paths are bytes handed to system calls, never to a command.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "actions/catalogue_sync.h"
#include "actions/clipboard_files.h"
#include "actions/selection_list.h"
#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/scan_records.h"
#include "owners/account_tree.h"
#include "owners/owner_resolver.h"

namespace korvane {

inline constexpr std::string_view kShortcutDescription = "Shortcut created by Korvane...";
inline constexpr std::string_view kDeletingFoldersMessage = "Deleting folders is not yet supported.";
inline constexpr std::string_view kNewFolderName = "New Folder";
inline constexpr std::string_view kCouldNotCreateFolderMessage = "Could not create folder %s.";
inline constexpr std::string_view kCouldNotCreateNewFolderMessage = "Could not create a new folder.";
inline constexpr std::string_view kSetOwnerFailedMessage = "Could not set %s as the owner of %s, error %d.";
inline constexpr std::string_view kOwnerPrivilegeHint =
    "\nYou probably don't have the 'Restore files and directories' privilege on this computer.";

// Where the operations of a NetWare volume (types 10 and 11) go:
// NetWareRoutesThrough (actions/netware_routes.h) serves them from the
// program's NetWare layer; left empty, such files fail.
struct NetWareRoutes {
    // 0 or an error; compress true sets, false clears.
    std::function<int(const VolumeScanRecord& volume, const std::string& path, bool compress)>
        set_compression;
    std::function<int(const VolumeScanRecord& volume, const std::string& path, std::string_view account)>
        set_owner;
    // Fills the owner chooser's tree with the volume's accounts; their number.
    std::function<int(const VolumeScanRecord& volume, AccountTree& tree)> list_accounts;
    // The owner of a path, "(Unknown)" when the server cannot tell.
    std::function<std::string(const VolumeScanRecord& volume, const std::string& path)> owner_of;
    // What the catalogue records of a NetWare volume after an action.
    NetWareReads reads;
};

struct FileActionContext {
    Catalogue& catalogue;
    FolderTree& tree;
    IdCounters& counters;
    UserInterface& ui;
    OwnerResolver& owners;
    NetWareRoutes netware;
    std::string event_log_path;  // where unattended FTP failures are written
};

struct ActionOutcome {
    std::size_t done = 0;
    std::size_t failed = 0;
    std::size_t skipped = 0;
    bool cancelled = false;
    bool catalogue_ok = true;  // every catalogue write succeeded
    int hints = 0;             // kHintContentsChanged, kHintFolderNameChanged
    std::string first_error;
    std::vector<std::string> placed;  // where the entries acted on now are
};

// What Copy puts on the clipboard for a selection: its paths to copy, or,
// when it holds FTP rows, local copies of those files fetched first (folders
// left out), to be moved from where they were fetched. False when nothing
// could be fetched: nothing is to be copied then.
bool FilesToCopy(FileActionContext& context, const SelectionList& list, ProgressWindow* progress,
                 ClipboardFiles& files);

// Copies the clipboard's files into the folder, or moves them when they were
// cut. One operation for the whole list with the progress window (which may
// be null); a name in use asks. Pasted files and folders are catalogued; a
// file pasted over a catalogued one keeps its File ID.
ActionOutcome PasteFiles(FileActionContext& context, const ClipboardFiles& files, const std::string& folder,
                         ProgressWindow* progress);
// A shortcut in the folder for each file (named after it without its
// extension); cut files are moved instead, as Paste does.
ActionOutcome PasteShortcuts(FileActionContext& context, const ClipboardFiles& files,
                             const std::string& folder, ProgressWindow* progress);
// Moves the selection into the trash after the person agrees (a selection
// with folders first says "Deleting folders is not yet supported."); what
// left the disk leaves the catalogue, folders with everything below them.
ActionOutcome DeleteSelection(FileActionContext& context, const SelectionList& list,
                              ProgressWindow* progress);
// Renames in place, never replacing an existing name. False, with nothing
// said or changed, when the rename fails.
bool RenameEntry(FileActionContext& context, const std::string& folder, const std::string& old_name,
                 const std::string& new_name, ActionOutcome& outcome);
// Sets (compress) or clears the file system's compression of each file;
// folders are passed over, a file already so counts as done, a refusal
// counts as failed.
ActionOutcome CompressSelection(FileActionContext& context, const SelectionList& list, bool compress);
// Moves the selection into the folder and leaves at each old place a
// shortcut to the moved file.
ActionOutcome LinkSelection(FileActionContext& context, const SelectionList& list,
                            const std::string& destination, ProgressWindow* progress);
// Makes "New Folder", else "New Folder 1" ... "New Folder 255", in the folder
// and catalogues it; name gets the one made. Messages as the command says.
bool CreateNewFolder(FileActionContext& context, const std::string& folder, std::string& name,
                     ActionOutcome& outcome);

// The local file-system compression of one file: 0, or the errno. changed is
// false when the file already was in the wanted state.
int SetFileCompression(const std::string& path, bool compress, bool& changed);
// Routes one file by its volume's type: local and network volumes (and paths
// of no catalogued volume) locally, NetWare volumes to the NetWare layer;
// other types fail with EOPNOTSUPP.
int SetVolumeCompression(const NetWareRoutes& netware, const VolumeScanRecord& volume,
                         const std::string& path, bool compress);
// The same for a new owner.
int SetVolumeOwner(const NetWareRoutes& netware, OwnerResolver& owners, const VolumeScanRecord& volume,
                   const std::string& path, std::string_view account);

// The shortcut base for a path: the path without the extension of its last
// component.
std::string ShortcutBaseOf(const std::string& path);

}  // namespace korvane
