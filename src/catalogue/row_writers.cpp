#include "catalogue/row_writers.h"

#include <algorithm>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "app/text_helpers.h"
#include "app/user_interface.h"
#include "catalogue/day_number.h"
#include "catalogue/volume_fetch.h"
#include "platform/directory_reader.h"

namespace korvane {
namespace {

// Saves the row being added or edited; an engine error drops it.
bool Save(TableCursor& table) {
    if (table.Update()) {
        return true;
    }
    table.CancelUpdate();
    return false;
}

void SetTextIfAny(TableCursor& table, std::string_view field, std::string_view value) {
    if (!value.empty()) {
        table.SetText(field, value);
    }
}

// Entry times come from file systems that may report anything (a network
// or user-space one included); beyond about 35,000 years from 1970 they are
// taken as that limit, so no date arithmetic can overflow.
constexpr std::int64_t kEntryTimeLimit = std::int64_t{1} << 40;

std::int64_t ClampEntryTime(std::int64_t unix_seconds) {
    return std::clamp(unix_seconds, -kEntryTimeLimit, kEntryTimeLimit);
}

void SetTimeIfAny(TableCursor& table, std::string_view field, std::int64_t unix_seconds,
                  DayNumberCache* dates) {
    if (unix_seconds != 0) {
        table.SetDate(field, dates != nullptr ? dates->FromUnix(unix_seconds)
                                              : DayNumberFromUnix(ClampEntryTime(unix_seconds)));
    }
}

void SetEntryTimes(TableCursor& table, const DirectoryEntry& entry, DayNumberCache* dates) {
    SetTimeIfAny(table, "Create Date", entry.create_time, dates);
    SetTimeIfAny(table, "Modify Date", entry.modify_time, dates);
    SetTimeIfAny(table, "Access Date", entry.access_time, dates);
}

std::int64_t FloorDivide(std::int64_t value, std::int64_t divisor) {
    const std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

// The day number of a local time given as seconds since 1 January 1970 local
// time: whole days since 30 December 1899 plus the fraction of the day, the
// same arithmetic the catalogue's dates are made with.
double DayNumberOfLocalSeconds(std::int64_t local_seconds) {
    constexpr std::int64_t kDaysFrom1899To1970 = 25569;
    const std::int64_t days = FloorDivide(local_seconds, 86400);
    const std::int64_t seconds = local_seconds - days * 86400;
    return static_cast<double>(days + kDaysFrom1899To1970) + static_cast<double>(seconds) / 86400.0;
}

bool LocalOffset(std::int64_t unix_seconds, std::int64_t& offset) {
    const std::time_t when = static_cast<std::time_t>(unix_seconds);
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return false;
    }
    offset = local.tm_gmtoff;
    return true;
}

// The text after the last separator; the separator itself when the path ends
// with it; the whole path when it holds none.
std::string_view LastComponent(std::string_view path, char separator) {
    const std::size_t at = path.rfind(separator);
    if (at == std::string_view::npos) {
        return path;
    }
    if (at + 1 == path.size()) {
        return path.substr(at);
    }
    return path.substr(at + 1);
}

// Type is the text after the last "." (empty for a name ending in "."); a
// name without "." leaves the field as it is.
void SetFileFields(TableCursor& table, const FolderScanRecord& record, DayNumberCache* dates) {
    const DirectoryEntry& entry = record.entry;
    table.SetText("Name", entry.name);
    if (const std::size_t dot = entry.name.rfind('.'); dot != std::string::npos) {
        table.SetText("Type", std::string_view(entry.name).substr(dot + 1));
    }
    table.SetDouble("Size", static_cast<double>(entry.size));
    table.SetDouble("Compressed", static_cast<double>(record.compressed_size));
    SetEntryTimes(table, entry, dates);
    SetTextIfAny(table, "Owner", record.owner);
    table.SetInt("Attributes", static_cast<std::int64_t>(entry.attributes));
    table.SetInt("Parent ID", record.parent_id);
}

// Depth of a node below its volume root folder (the root folder is 0).
std::int32_t LevelOf(const FolderNode* node) {
    std::int32_t level = 0;
    while (node != nullptr && node->parent_id != 0) {
        ++level;
        node = node->parent;
    }
    return level;
}

// The new folders of the chain that are on disk, in the order they are
// numbered; a missing folder drops its whole subtree.
std::int32_t CountPresentFolders(const FolderNode* node, const std::string& parent_path) {
    std::int32_t present = 0;
    for (; node != nullptr; node = node->next_sibling) {
        const std::string path = JoinPath(parent_path, node->name());
        DirectoryEntry entry;
        if (ReadPathEntry(path, entry) != 0 || !entry.IsDirectory()) {
            continue;
        }
        ++present;
        present += CountPresentFolders(node->first_child, path);
    }
    return present;
}

// The volume whose root folder holds the node. Several volumes can share one
// mount point (scans of different folders of it), so the root folder, not
// the mount point, says which volume this is.
bool FetchVolumeOfFolder(Catalogue& catalogue, const FolderNode* node, VolumeScanRecord& volume) {
    while (node != nullptr && node->parent_id != 0) {
        node = node->parent;
    }
    if (node == nullptr || node->folder_id == 0) {
        return false;
    }
    TableCursor& volumes = catalogue.volume_table();
    for (bool row = volumes.MoveFirst(); row; row = volumes.MoveNext()) {
        std::int32_t root = 0, id = 0;
        if (volumes.GetInt("Folder ID", root) && root == node->folder_id && volumes.GetInt("Volume ID", id)) {
            return FetchVolumeById(catalogue, id, volume);
        }
    }
    return false;
}

class SubtreeInsertion {
  public:
    SubtreeInsertion(Catalogue& catalogue, const VolumeScanRecord& volume, const EntryDetailsFiller& fill,
                     std::int32_t first_id, std::int32_t last_id)
        : catalogue_(catalogue), volume_(volume), fill_(fill), next_(first_id), last_(last_id) {}

    // Writes the chain starting at node, each node before its children.
    // False when an ancestor row is missing or a row cannot be saved.
    bool WriteChain(FolderNode* node, const std::string& parent_path) {
        for (; node != nullptr; node = node->next_sibling) {
            const std::string path = JoinPath(parent_path, node->name());
            record_ = FolderScanRecord{};
            record_.path = path;
            if (ReadPathEntry(path, record_.entry) != 0 || !record_.entry.IsDirectory()) {
                continue;
            }
            if (next_ > last_) {
                // Appeared since the folders were counted: no identifier is free for it.
                continue;
            }
            if (fill_) {
                fill_(volume_, record_);
            }
            node->folder_id = next_;
            node->parent_id = node->parent != nullptr ? node->parent->folder_id : 0;
            ++next_;
            record_.folder_id = node->folder_id;
            record_.parent_id = node->parent_id;
            record_.level = LevelOf(node);
            if (!WriteFolderRow(catalogue_, record_, PathSeparatorOf(path))) {
                return false;
            }
            if (!CountInAncestors(node)) {
                return false;
            }
            if (node->first_child != nullptr && !WriteChain(node->first_child, path)) {
                return false;
            }
        }
        return true;
    }

  private:
    bool CountInAncestors(const FolderNode* node) {
        TableCursor& folders = catalogue_.folder_table();
        for (FolderNode* above = node->parent; above != nullptr && above->parent != nullptr;
             above = above->parent) {
            if (!catalogue_.SeekFolderRow(above->folder_id) || !folders.Edit()) {
                return false;
            }
            ++above->folders;
            folders.SetInt("Folders", above->folders);
            if (!Save(folders)) {
                return false;
            }
        }
        return true;
    }

    Catalogue& catalogue_;
    const VolumeScanRecord& volume_;
    const EntryDetailsFiller& fill_;
    std::int32_t next_;
    std::int32_t last_;
    FolderScanRecord record_;
};

}  // namespace

double DayNumberCache::FromUnix(std::int64_t unix_seconds) {
    unix_seconds = ClampEntryTime(unix_seconds);
    if (unix_seconds == -kEntryTimeLimit || unix_seconds == kEntryTimeLimit) {
        return DayNumberFromUnix(unix_seconds);
    }
    if (!spans_) {
        spans_ = std::make_unique<Span[]>(kSpans);
    }
    const std::int64_t start = FloorDivide(unix_seconds, kSpanSeconds) * kSpanSeconds;
    Span& span = spans_[static_cast<std::size_t>(start / kSpanSeconds) & (kSpans - 1)];
    if (span.start != start) {
        span.start = start;
        std::int64_t last_offset = 0;
        span.uniform = LocalOffset(start, span.offset) &&
                       LocalOffset(start + kSpanSeconds - 1, last_offset) && span.offset == last_offset &&
                       DayNumberOfLocalSeconds(start + span.offset) == DayNumberFromUnix(start);
    }
    if (!span.uniform) {
        return DayNumberFromUnix(unix_seconds);
    }
    return DayNumberOfLocalSeconds(unix_seconds + span.offset);
}

bool WriteComputerRow(Catalogue& catalogue, const ComputerRecord& computer) {
    TableCursor& table = catalogue.computer_table();
    if (!table.AddNew()) {
        return false;
    }
    table.SetInt("Computer ID", computer.id);
    SetTextIfAny(table, "Name", computer.computer_name);
    return Save(table);
}

bool WriteVolumeRow(Catalogue& catalogue, const VolumeScanRecord& volume) {
    TableCursor& table = catalogue.volume_table();
    if (!table.AddNew()) {
        return false;
    }
    table.SetInt("Volume ID", volume.volume_id);
    table.SetInt("Folder ID", volume.root_folder_id);
    SetTextIfAny(table, "Root", volume.root);
    table.SetText("Name",
                  volume.name.empty() ? std::string_view("Unlabeled") : std::string_view(volume.name));
    table.SetText("Type", volume.media);
    SetTextIfAny(table, "Owner", volume.owner);
    table.SetInt("Serial Number", volume.serial_number);
    SetTextIfAny(table, "Format", volume.format);
    table.SetDouble("Size", static_cast<double>(volume.size));
    table.SetDouble("Used", static_cast<double>(volume.used));
    table.SetDouble("Free", static_cast<double>(volume.free));
    table.SetInt("Files", volume.files);
    table.SetInt("Folders", volume.folders);
    table.SetInt("VolType", volume.volume_type);
    SetTextIfAny(table, "UserName", volume.user_name);
    SetTextIfAny(table, "Password", volume.password);
    table.SetInt("Flags", volume.flags);
    return Save(table);
}

bool WriteFolderRow(Catalogue& catalogue, const FolderScanRecord& folder, char separator,
                    DayNumberCache* dates) {
    TableCursor& table = catalogue.folder_table();
    if (!table.AddNew()) {
        return false;
    }
    table.SetInt("Folder ID", folder.folder_id);
    table.SetText("Name", folder.parent_id == 0 ? std::string_view(folder.path)
                                                : LastComponent(folder.path, separator));
    table.SetInt("Parent ID", folder.parent_id);
    table.SetDouble("Size", static_cast<double>(folder.size));
    table.SetDouble("Blocks", static_cast<double>(folder.blocks));
    table.SetInt("Folders", folder.folders);
    table.SetInt("Files", folder.files);
    table.SetInt("Level", folder.level);
    SetEntryTimes(table, folder.entry, dates);
    table.SetInt("Attributes", static_cast<std::int64_t>(folder.entry.attributes));
    SetTextIfAny(table, "Owner", folder.owner);
    return Save(table);
}

bool WriteFileRow(Catalogue& catalogue, const FolderScanRecord& record, DayNumberCache* dates) {
    TableCursor& table = catalogue.file_table();
    if (!table.AddNew()) {
        return false;
    }
    table.SetInt("File ID", record.file_id);
    SetFileFields(table, record, dates);
    return Save(table);
}

bool UpdateFolderRow(Catalogue& catalogue, const FolderScanRecord& folder) {
    TableCursor& table = catalogue.folder_table();
    if (!catalogue.SeekFolderRow(folder.folder_id) || !table.Edit()) {
        return false;
    }
    table.SetText("Name", LastComponent(folder.path, PathSeparatorOf(folder.path)));
    table.SetDouble("Size", static_cast<double>(folder.size));
    table.SetInt("Folders", folder.folders);
    table.SetInt("Attributes", static_cast<std::int64_t>(folder.entry.attributes));
    SetTextIfAny(table, "Owner", folder.owner);
    return Save(table);
}

bool UpdateFileRow(Catalogue& catalogue, const FolderScanRecord& record) {
    TableCursor& table = catalogue.file_table();
    if (!catalogue.SeekFileRow(record.file_id) || !table.Edit()) {
        return false;
    }
    SetFileFields(table, record, nullptr);
    return Save(table);
}

bool AdjustFolderTotals(Catalogue& catalogue, std::int32_t folder_id, const FolderScanRecord& record,
                        bool adding) {
    TableCursor& table = catalogue.folder_table();
    if (!catalogue.SeekFolderRow(folder_id) || !table.Edit()) {
        return false;
    }
    double size = 0.0;
    std::int32_t files = 0;
    table.GetDouble("Size", size);
    table.GetInt("Files", files);
    const double change = static_cast<double>(record.entry.size);
    table.SetDouble("Size", adding ? size + change : size - change);
    table.SetInt("Files", static_cast<std::int64_t>(files) + (adding ? 1 : -1));
    return Save(table);
}

void ShiftFolderIds(FolderNode* node, std::int32_t bound, std::int32_t count) {
    for (; node != nullptr; node = node->next_sibling) {
        if (node->first_child != nullptr) {
            ShiftFolderIds(node->first_child, bound, count);
        }
        if (node->folder_id >= bound) {
            node->folder_id += count;
        }
        if (node->parent_id >= bound) {
            node->parent_id += count;
        }
    }
}

bool InsertFolderSubtree(Catalogue& catalogue, FolderTree& tree, IdCounters& counters, FolderNode* first,
                         std::int32_t count, FolderNode* destination,
                         const EntryDetailsFiller& fill_details) {
    if (first == nullptr || destination == nullptr || count <= 0 || first->parent == nullptr) {
        return false;
    }
    std::string parent_path;
    if (!tree.FolderPath(first->parent, parent_path)) {
        return false;
    }
    // Only folders still on disk take identifiers, so the gap opened below
    // is exactly as wide as what is written into it.
    const std::int32_t n = std::min(count, CountPresentFolders(first, parent_path));
    const std::int32_t f = destination->folder_id + destination->folders + 1;
    const std::int32_t k = counters.next_folder;
    UserInterface& ui = catalogue.ui();
    std::unique_ptr<ProgressWindow> progress = ui.CreateProgressWindow();
    progress->SetShowCancel(false);
    progress->Show();
    progress->SetTitle("Please wait...");
    progress->SetFirstLine("Database operation...");
    progress->SetSecondLine("Updating folders...");
    progress->SetRange(0, 100);
    progress->SetPosition(0);
    const auto fail = [&progress]() {
        progress->Close();
        return false;
    };

    TableCursor& folders = catalogue.folder_table();
    if (n > 0) {
        if (!folders.SetCurrentIndex(kPrimaryKeyIndex)) {
            return fail();
        }
        const std::int64_t span = static_cast<std::int64_t>(k) - 1 - f;
        for (std::int32_t i = k - 1; i >= f; --i) {
            if (catalogue.SeekFolderRow(i)) {
                std::int32_t parent = 0;
                folders.GetInt("Parent ID", parent);
                if (!folders.Edit()) {
                    return fail();
                }
                folders.SetInt("Folder ID", static_cast<std::int64_t>(i) + n);
                if (parent >= f) {
                    folders.SetInt("Parent ID", static_cast<std::int64_t>(parent) + n);
                }
                if (!Save(folders)) {
                    return fail();
                }
            }
            progress->SetPosition(
                span == 0 ? 100 : static_cast<int>((static_cast<std::int64_t>(k) - 1 - i) * 100 / span));
            ui.PumpMessages();
        }
        // A volume names its root folder: follow it when it moved.
        TableCursor& volumes = catalogue.volume_table();
        for (bool row = volumes.MoveFirst(); row; row = volumes.MoveNext()) {
            std::int32_t root = 0;
            if (volumes.GetInt("Folder ID", root) && root >= f) {
                if (!volumes.Edit()) {
                    return fail();
                }
                volumes.SetInt("Folder ID", static_cast<std::int64_t>(root) + n);
                if (!Save(volumes)) {
                    return fail();
                }
            }
        }
    }
    progress->SetPosition(100);
    progress->SetSecondLine("Updating memory folders...");
    if (n > 0) {
        ShiftFolderIds(tree.root(), f, n);
    }

    progress->SetSecondLine("Adding folders to database...");
    VolumeScanRecord volume;
    if (!FetchVolumeOfFolder(catalogue, first->parent, volume)) {
        FetchVolumeByRoot(catalogue, parent_path, volume);
    }
    SubtreeInsertion insertion(catalogue, volume, fill_details, f, f + n - 1);
    if (!insertion.WriteChain(first, parent_path)) {
        return fail();
    }

    progress->SetPosition(0);
    progress->SetSecondLine("Updating files...");
    TableCursor& files = catalogue.file_table();
    if (n > 0) {
        if (!files.SetCurrentIndex("Folder ID")) {
            return fail();
        }
        for (std::int32_t s = k - 1; s >= f; --s) {
            while (files.Seek(s)) {
                if (!files.Edit()) {
                    return fail();
                }
                files.SetInt("Parent ID", static_cast<std::int64_t>(s) + n);
                if (!Save(files)) {
                    return fail();
                }
                ui.PumpMessages();
            }
        }
        files.SetCurrentIndex(kPrimaryKeyIndex);
    }

    counters.next_folder = k + n;
    const bool written = catalogue.WriteIdCounters(counters);
    progress->Close();
    return written;
}

}  // namespace korvane
