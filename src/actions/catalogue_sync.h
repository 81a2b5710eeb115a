// Brings the catalogue and the folder tree in line with the disk after a file
// action, entry by entry, reading each entry as it now is: File rows are
// added, rewritten (keeping their File ID) or deleted; folders that appear
// are numbered into the tree and written with their files; folders that go
// are removed with everything below them and the identifiers after them
// close up. Folder totals (Size and Files up the tree, Blocks of the holding
// folder) are gathered and written once, when the work ends.
//
// Entries whose folder is not catalogued are passed over.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/row_writers.h"
#include "catalogue/scan_records.h"
#include "owners/owner_resolver.h"

namespace korvane {

// What the sync reads from the server of a NetWare volume rather than from
// its mount. Left empty, a NetWare volume's entries carry no NetWare details
// and its sizes stay as they are.
struct NetWareReads {
    // Compressed size and attribute, owner and creation time of the entry
    // the record holds (its folder's path in record.path).
    std::function<void(const VolumeScanRecord& volume, FolderScanRecord& record)> entry_details;
    // The volume's size and free bytes as the server counts them; false
    // when the server cannot tell.
    std::function<bool(const VolumeScanRecord& volume, std::uint64_t& size, std::uint64_t& free)> space;
};

// What the result's other views are told after an action.
inline constexpr int kHintContentsChanged = 1;
inline constexpr int kHintFolderNameChanged = 2;

class CatalogueSync {
  public:
    // netware, when given, must outlive the sync.
    CatalogueSync(Catalogue& catalogue, FolderTree& tree, IdCounters& counters, OwnerResolver& owners,
                  const NetWareReads* netware = nullptr);
    ~CatalogueSync();
    CatalogueSync(const CatalogueSync&) = delete;
    CatalogueSync& operator=(const CatalogueSync&) = delete;

    // Opens the catalogue tables unless they are open already.
    bool Begin();
    // Writes the gathered totals, the counters and the size, used and free
    // bytes of every volume whose entries changed, and closes the tables
    // when Begin opened them. False when a write failed.
    bool Finish();

    // The entry now at path (a file, link or folder tree) is recorded; a file
    // already catalogued under that name keeps its File ID.
    bool EntryArrived(const std::string& path);
    // The entry that was at path is gone from disk: its rows go. Nothing
    // happens while something is still there.
    bool EntryLeft(const std::string& path);
    // The entry at path is read again (size, attributes, times, owner).
    bool EntryChanged(const std::string& path);
    // An entry of the folder was renamed on disk from old_name to the name
    // now at new_path; a folder keeps its identifier and its tree node
    // takes the name.
    bool EntryRenamed(const std::string& new_path, const std::string& old_name);

    // The union of the hints the work so far calls for.
    int hints() const { return hints_; }
    bool failed() const { return failed_; }

  private:
    struct CataloguedFile {
        std::int32_t id = 0;
        std::uint64_t size = 0;
        std::uint64_t allocated = 0;
    };
    struct TotalsChange {
        double size = 0;
        std::int64_t files = 0;
        double blocks = 0;
    };
    using FolderFiles = std::unordered_map<std::string, CataloguedFile>;

    FolderNode* FolderOfPath(const std::string& folder_path);
    const FolderNode* VolumeRootOf(const FolderNode* folder) const;
    // The Volume row of the folder's volume, read once per volume; a folder
    // of no catalogued volume gets an empty record.
    const VolumeScanRecord& VolumeOf(const FolderNode* folder);
    // Owner, compressed size and attributes of the record's entry, from the
    // NetWare layer for a NetWare volume, else from the disk.
    void FillDetails(const VolumeScanRecord& volume, FolderScanRecord& record);
    bool RefreshVolumeSpace();
    FolderFiles& FilesOf(std::int32_t folder_id);
    std::uint64_t BlocksOf(const FolderNode* folder, std::uint64_t allocated);
    void AddToTotals(FolderNode* folder, double size, std::int64_t files, double blocks);
    void CountInVolume(const FolderNode* folder, std::int64_t files, std::int64_t folders);
    bool RecordFile(FolderNode* folder, const std::string& folder_path, FolderScanRecord& record);
    bool ForgetFile(FolderNode* folder, const std::string& name);
    bool FolderArrived(FolderNode* parent, const std::string& path);
    bool FolderLeft(FolderNode* node);
    bool WriteFilesBelow(FolderNode* node, const std::string& path);
    bool AddNodesFromDisk(FolderNode* node, const std::string& path, std::int32_t& count);
    bool WriteFolderDetails(std::int32_t folder_id, const FolderScanRecord& record);
    bool FlushTotals();
    // The folder's own entry changed with its content (its times): read at the end.
    void Touch(const std::string& folder_path) { touched_.insert(folder_path); }
    bool RereadTouchedFolders();
    bool Fail();

    Catalogue& catalogue_;
    FolderTree& tree_;
    IdCounters& counters_;
    OwnerResolver& owners_;
    const NetWareReads* netware_;
    bool opened_tables_ = false;
    bool failed_ = false;
    int hints_ = 0;
    std::unordered_map<std::int32_t, FolderFiles> files_;
    std::set<std::string> touched_;
    std::map<std::int32_t, TotalsChange> totals_;
    // Files and folders each volume gains or loses, by its root folder.
    std::map<std::int32_t, std::pair<std::int64_t, std::int64_t>> volume_counts_;
    std::unordered_map<const FolderNode*, std::uint32_t> cluster_sizes_;  // by volume root node
    // The volumes whose entries this sync touched, by their root node (never
    // dereferenced once stored: the node may go with a removed folder).
    std::map<const FolderNode*, VolumeScanRecord> volumes_;
    DayNumberCache dates_;
};

}  // namespace korvane
