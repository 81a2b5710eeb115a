// Building the catalogue: every volume of a volume list is walked depth first
// and each file, folder and volume row is written the moment it is complete,
// so memory does not grow with the size of a volume.
//
// A volume list holds mount points or other absolute paths (a path below a
// mount point scans only that folder), "\\server\share" names of mounted
// network shares, and "uv: N" user volume tokens. The walk lists hidden
// entries, records a symbolic link as a file without following it, and never
// enters another mount (a mount point is recorded as an empty folder).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/scan_records.h"
#include "catalogue/user_volumes.h"
#include "owners/netware_layer.h"
#include "owners/owner_resolver.h"
#include "platform/volume_probe.h"

namespace korvane {

struct ScanContext;

// A folder deeper than this below its volume's root folder is recorded but
// not entered: each open level of the walk holds a descriptor and a stack
// frame, and no path the system can name reaches this deep.
inline constexpr std::int32_t kMaxScanDepth = 2048;

// Scans an FTP user volume into the catalogue; true when the site was
// scanned. Whatever it returns, the build goes on with the next token.
using FtpScanHook =
    std::function<bool(ScanContext& context, const UserVolumeRecord& volume, ProgressWindow* progress)>;

// What a build tells its caller beyond success.
struct BuildReport {
    // Why the build was not put in place; empty when it was.
    std::string failure;
    // One line per volume that could not be read or whose walk left entries
    // out; each also goes to the event log as a "Warning".
    std::vector<std::string> warnings;
    // Volumes written to the catalogue.
    std::int32_t volumes = 0;
};

// What a build works on: the run's catalogue (open), folder tree and
// identifier counters, the person, and the event log for unattended reports.
struct ScanContext {
    ScanContext(Catalogue& run_catalogue, FolderTree& run_tree, IdCounters& run_counters,
                UserInterface& person, std::string log_path)
        : catalogue(run_catalogue),
          tree(run_tree),
          counters(run_counters),
          ui(person),
          event_log_path(std::move(log_path)) {}

    Catalogue& catalogue;
    FolderTree& tree;
    IdCounters& counters;
    UserInterface& ui;
    std::string event_log_path;
    // The machine's mounts; null means the real system.
    VolumeProbe* probe = nullptr;
    // The NetWare layer that NetWare volumes are read through; null gives
    // each build its own, with the default client library.
    NetWareLayer* netware = nullptr;
    // Scans "uv: " tokens whose location starts with "ftp:"; while empty such
    // tokens are skipped like an unreadable user volume.
    FtpScanHook ftp_scan;
    // Save rows on a second thread while the walk goes on, when the machine
    // has more than one processor. The catalogue belongs to that thread
    // during the walk of each volume; FtpScanHook runs between volumes.
    bool overlap_writing = true;
    // Called after each row handed to the writers, with the number handed
    // over so far in this build: a seam where tests stop or kill a build.
    std::function<void(std::uint64_t rows)> on_row;
    // Filled by each build.
    BuildReport report;
    // Files seen by every build of this context; every 20th file recomputes
    // the percentage.
    std::uint64_t files_seen = 0;
};

// Builds a new catalogue beside the one in place (carrying over its user
// volumes and stored queries), writes the Computer row, scans every token of
// the volume list (split like every list: blanks, tabs, commas, double
// quotes), puts the new catalogue in place with one atomic rename and
// reloads the folder tree. With a progress window the build shows its steps,
// reports a volume that cannot be read in a message box and can be
// cancelled; a cancelled build keeps what was scanned. True when the new
// catalogue is in place. False, with the previous catalogue, tree and
// counters exactly as they were and the reason in context.report.failure,
// when the new one could not be made, written or put in place, when the
// list names volumes and none of them could be scanned, or when a row could
// not be saved.
bool BuildCatalogue(ScanContext& context, std::string_view volume_list, ProgressWindow* progress);

// The compressed (allocated) size and the owner of the entry the record
// holds: the folder's own entry for a completed folder, else its current
// entry. Owners come from the resolver, which names each uid once; on a
// NetWare volume (type 10 or 11) every detail comes from the NetWare layer,
// and without one the owner is "(Unknown)".
void FillEntryDetails(OwnerResolver& owners, NetWareLayer* netware, const VolumeScanRecord& volume,
                      FolderScanRecord& record);
void FillEntryDetails(OwnerResolver& owners, const VolumeScanRecord& volume, FolderScanRecord& record);

}  // namespace korvane
