// Catalogue rows from the scanner's records, and the updates that keep the
// catalogue and the folder tree in line when file actions change what was
// scanned. The table cursors must be open. Every operation returns false on
// an engine error; the row being added or edited is then not saved.
//
// Times: an entry time of 0 means the platform gave none and leaves the
// field null; any other is stored as a local day number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/scan_records.h"

namespace korvane {

// Entry times as day numbers, for writers of many rows: the local offset is
// asked of the C library once per day of time rather than once per time,
// and every value equals DayNumberFromUnix's to the bit (a day in which the
// offset changes, or whose values the check at its start does not confirm,
// is converted time by time). Times more than 2^40 seconds (about 35,000
// years) from 1970 are taken as that limit, by every writer. One object per
// thread.
class DayNumberCache {
  public:
    double FromUnix(std::int64_t unix_seconds);

  private:
    struct Span {
        std::int64_t start = INT64_MIN;
        std::int64_t offset = 0;  // seconds east of UTC
        bool uniform = false;     // one offset over the whole span, confirmed
    };
    static constexpr std::int64_t kSpanSeconds = 86400;
    static constexpr std::size_t kSpans = 4096;  // a power of two: eleven years of days
    std::unique_ptr<Span[]> spans_;
};

bool WriteComputerRow(Catalogue& catalogue, const ComputerRecord& computer);
// Name "Unlabeled" when the record has none; empty texts stay null.
bool WriteVolumeRow(Catalogue& catalogue, const VolumeScanRecord& volume);
// The folder the record describes, with its own entry. A volume's root
// folder (parent 0) is named by its whole path, any other folder by the text
// after the path's last separator.
// dates, when given, converts the times.
bool WriteFolderRow(Catalogue& catalogue, const FolderScanRecord& folder, char separator,
                    DayNumberCache* dates = nullptr);
// The entry the record holds, in the folder whose identifier is the record's
// parent ID, under the record's file ID.
bool WriteFileRow(Catalogue& catalogue, const FolderScanRecord& record, DayNumberCache* dates = nullptr);

// Rewrites Name, Size, Folders, Attributes and (when not empty) Owner of the
// record's folder. False when there is no such row.
bool UpdateFolderRow(Catalogue& catalogue, const FolderScanRecord& folder);
// Rewrites the record's file from its entry, as WriteFileRow writes it: a
// name without "." keeps the old Type, absent times and owner keep theirs.
bool UpdateFileRow(Catalogue& catalogue, const FolderScanRecord& record);
// Adds the entry's size to (or takes it from) that one folder's Size and its
// Files by one. Ancestors are the caller's business.
bool AdjustFolderTotals(Catalogue& catalogue, std::int32_t folder_id, const FolderScanRecord& record,
                        bool adding);

// Fills the compressed size and owner of the entry a record holds, for a
// folder on the given volume (the scanner's FillEntryDetails).
using EntryDetailsFiller = std::function<void(const VolumeScanRecord& volume, FolderScanRecord& record)>;

// Numbers and writes folders that a file action created on disk and linked
// into the tree with AddFolderNode: `first` and its following siblings, each
// with its children, all below `destination`. They take the identifiers just
// after the destination's subtree, in pre-order; every later folder, its
// files and its volume's root folder reference move up to make room, so the
// folders below any folder X stay exactly X+1 to X+Folders(X). A node whose
// folder is no longer on disk is passed over with its subtree and takes no
// identifier, so the gap opened is as wide as what fills it; count (the
// nodes the caller linked) caps how many are numbered. New rows get the Level of their
// depth and zero totals; each ancestor's Folders grows by one per new folder.
// Shows a progress window that cannot be cancelled. Writes the counters on
// success.
bool InsertFolderSubtree(Catalogue& catalogue, FolderTree& tree, IdCounters& counters, FolderNode* first,
                         std::int32_t count, FolderNode* destination, const EntryDetailsFiller& fill_details);

// Every folder ID and parent ID in the chain starting at node, and below it,
// that is at least bound grows by count.
void ShiftFolderIds(FolderNode* node, std::int32_t bound, std::int32_t count);

}  // namespace korvane
