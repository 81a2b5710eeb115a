#include "actions/catalogue_sync.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <string_view>

#include "actions/volume_lookup.h"
#include "app/text_helpers.h"
#include "catalogue/sql_statement.h"
#include "platform/directory_reader.h"
#include "platform/volume_probe.h"
#include "scan/netware_volume.h"
#include "scan/volume_scanner.h"

namespace korvane {
namespace {

struct PathParts {
    std::string folder;
    std::string name;
};

PathParts SplitPath(const std::string& path) {
    const char separator = PathSeparatorOf(path);
    const std::size_t at = path.rfind(separator);
    if (at == std::string::npos) {
        return {"", path};
    }
    return {at == 0 ? path.substr(0, 1) : path.substr(0, at), path.substr(at + 1)};
}

FolderNode* ChildNamed(FolderNode* parent, std::string_view name) {
    for (FolderNode* child = parent != nullptr ? parent->first_child : nullptr; child != nullptr;
         child = child->next_sibling) {
        if (child->name() == name) {
            return child;
        }
    }
    return nullptr;
}

bool IsDotName(std::string_view name) {
    return name == "." || name == "..";
}

bool Run(DbHandle db, std::string_view sql, std::initializer_list<std::int64_t> values) {
    SqlStatement statement;
    if (!statement.Prepare(db, sql)) {
        return false;
    }
    int index = 1;
    for (const std::int64_t value : values) {
        statement.BindInt(index++, value);
    }
    return statement.Step() == SQLITE_DONE;
}

void BindTime(SqlStatement& statement, int index, std::int64_t unix_seconds, DayNumberCache& dates) {
    if (unix_seconds == 0) {
        statement.BindNull(index);
    } else {
        statement.BindDouble(index, dates.FromUnix(unix_seconds));
    }
}

}  // namespace

CatalogueSync::CatalogueSync(Catalogue& catalogue, FolderTree& tree, IdCounters& counters,
                             OwnerResolver& owners, const NetWareReads* netware)
    : catalogue_(catalogue), tree_(tree), counters_(counters), owners_(owners), netware_(netware) {}

CatalogueSync::~CatalogueSync() {
    Finish();
}

bool CatalogueSync::Begin() {
    if (catalogue_.TablesOpen()) {
        return true;
    }
    opened_tables_ = catalogue_.OpenCatalogueTables();
    return opened_tables_;
}

bool CatalogueSync::RereadTouchedFolders() {
    bool ok = true;
    for (const std::string& path : touched_) {
        FolderNode* node = FolderOfPath(path);
        FolderScanRecord record;
        // A volume's root folder row holds the time of its scan, not the disk's.
        if (node == nullptr || node->parent_id == 0 || ReadPathEntry(path, record.entry) != 0) {
            continue;
        }
        record.path = path;
        FillDetails(VolumeOf(node), record);
        ok = WriteFolderDetails(node->folder_id, record) && ok;
    }
    touched_.clear();
    return ok;
}

bool CatalogueSync::Finish() {
    bool ok = FlushTotals();
    if (catalogue_.TablesOpen()) {
        ok = RereadTouchedFolders() && ok;
    }
    if (catalogue_.TablesOpen()) {
        ok = catalogue_.WriteIdCounters(counters_) && ok;
    }
    ok = RefreshVolumeSpace() && ok;
    if (opened_tables_) {
        ok = catalogue_.CloseCatalogueTables() && ok;
        opened_tables_ = false;
    }
    return ok && !failed_;
}

bool CatalogueSync::Fail() {
    failed_ = true;
    return false;
}

FolderNode* CatalogueSync::FolderOfPath(const std::string& folder_path) {
    if (folder_path.empty()) {
        return nullptr;
    }
    FolderNode* node = tree_.FindFolderByPath(folder_path);
    return node != nullptr && node != tree_.root() ? node : nullptr;
}

const FolderNode* CatalogueSync::VolumeRootOf(const FolderNode* folder) const {
    while (folder->parent != nullptr && folder->parent != tree_.root()) {
        folder = folder->parent;
    }
    return folder;
}

const VolumeScanRecord& CatalogueSync::VolumeOf(const FolderNode* folder) {
    const FolderNode* root = VolumeRootOf(folder);
    auto [it, added] = volumes_.try_emplace(root);
    if (added) {
        FetchVolumeOfRootFolder(catalogue_, root->folder_id, it->second);
    }
    return it->second;
}

void CatalogueSync::FillDetails(const VolumeScanRecord& volume, FolderScanRecord& record) {
    if (IsNetWareVolume(volume) && netware_ != nullptr && netware_->entry_details) {
        netware_->entry_details(volume, record);
        return;
    }
    FillEntryDetails(owners_, volume, record);
}

// The volume's sizes as a scan reads them now: the server's figures for a
// NetWare volume, the file system's for a local or network one.
bool CatalogueSync::RefreshVolumeSpace() {
    bool ok = true;
    for (const auto& [root, volume] : volumes_) {
        std::uint64_t size = 0;
        std::uint64_t free = 0;
        bool known = false;
        if (volume.volume_id == 0) {
            continue;
        }
        if (IsNetWareVolume(volume)) {
            known = netware_ != nullptr && netware_->space && netware_->space(volume, size, free);
        } else if (volume.volume_type == 1) {
            LinuxVolumeProbe probe;
            FileSystemSpace space;
            known = probe.Space(volume.root, space) == 0;
            size = space.total_bytes;
            free = std::min(space.free_bytes, space.total_bytes);
        }
        if (!known) {
            continue;
        }
        SqlStatement statement;
        ok = statement.Prepare(catalogue_.handle(),
                               "UPDATE \"Volume\" SET \"Size\" = ?, \"Used\" = ?, \"Free\" = ? WHERE "
                               "\"Volume ID\" = ?") &&
             ok;
        statement.BindDouble(1, static_cast<double>(size));
        statement.BindDouble(2, static_cast<double>(size - std::min(free, size)));
        statement.BindDouble(3, static_cast<double>(free));
        statement.BindInt(4, volume.volume_id);
        ok = statement.Step() == SQLITE_DONE && ok;
    }
    volumes_.clear();
    return ok ? true : Fail();
}

CatalogueSync::FolderFiles& CatalogueSync::FilesOf(std::int32_t folder_id) {
    auto [it, added] = files_.try_emplace(folder_id);
    if (added) {
        SqlStatement statement;
        if (statement.Prepare(catalogue_.connection(),
                              "SELECT \"File ID\", \"Name\", \"Size\", \"Compressed\" FROM "
                              "\"File\" WHERE \"Parent ID\" = ?")) {
            statement.BindInt(1, folder_id);
            while (statement.Step() == SQLITE_ROW) {
                CataloguedFile file;
                file.id = static_cast<std::int32_t>(statement.ColumnInt(0));
                file.size = static_cast<std::uint64_t>(statement.ColumnDouble(2));
                file.allocated = static_cast<std::uint64_t>(statement.ColumnDouble(3));
                it->second.emplace(std::string(statement.ColumnText(1)), file);
            }
        }
    }
    return it->second;
}

std::uint64_t CatalogueSync::BlocksOf(const FolderNode* folder, std::uint64_t allocated) {
    const FolderNode* volume = folder;
    while (volume->parent != nullptr && volume->parent != tree_.root()) {
        volume = volume->parent;
    }
    auto [it, added] = cluster_sizes_.try_emplace(volume, 0);
    if (added) {
        std::string path;
        struct statvfs info;
        if (tree_.FolderPath(volume, path) && ::statvfs(path.c_str(), &info) == 0) {
            const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
            it->second = unit <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(unit) : 0;
        }
    }
    const std::uint32_t cluster = it->second;
    return cluster == 0 ? 0 : (allocated + cluster - 1) / cluster;
}

void CatalogueSync::CountInVolume(const FolderNode* folder, std::int64_t files, std::int64_t folders) {
    VolumeOf(folder);
    folder = VolumeRootOf(folder);
    auto& counts = volume_counts_[folder->folder_id];
    counts.first += files;
    counts.second += folders;
}

void CatalogueSync::AddToTotals(FolderNode* folder, double size, std::int64_t files, double blocks) {
    VolumeOf(folder);
    if (files != 0) {
        CountInVolume(folder, files, 0);
    }
    TotalsChange& own = totals_[folder->folder_id];
    own.size += size;
    own.files += files;
    own.blocks += blocks;
    for (FolderNode* above = folder->parent; above != nullptr && above != tree_.root();
         above = above->parent) {
        TotalsChange& change = totals_[above->folder_id];
        change.size += size;
        change.files += files;
    }
    hints_ |= kHintContentsChanged;
}

bool CatalogueSync::FlushTotals() {
    bool volumes_ok = true;
    for (const auto& [root_id, counts] : volume_counts_) {
        volumes_ok = Run(catalogue_.connection(),
                         "UPDATE \"Volume\" SET \"Files\" = COALESCE(\"Files\", 0) + ?, \"Folders\" = "
                         "COALESCE(\"Folders\", 0) + ? WHERE \"Folder ID\" = ?",
                         {counts.first, counts.second, root_id}) &&
                     volumes_ok;
    }
    volume_counts_.clear();
    if (!volumes_ok) {
        return Fail();
    }
    if (totals_.empty()) {
        return true;
    }
    SqlStatement statement;
    if (!statement.Prepare(catalogue_.connection(),
                           "UPDATE \"Folder\" SET \"Size\" = COALESCE(\"Size\", 0) + ?, \"Files\" = "
                           "COALESCE(\"Files\", 0) + ?, \"Blocks\" = COALESCE(\"Blocks\", 0) + ? WHERE "
                           "\"Folder ID\" = ?")) {
        return Fail();
    }
    bool ok = true;
    for (const auto& [folder_id, change] : totals_) {
        statement.BindDouble(1, change.size);
        statement.BindInt(2, change.files);
        statement.BindDouble(3, change.blocks);
        statement.BindInt(4, folder_id);
        ok = statement.Step() == SQLITE_DONE && ok;
        statement.Reset();
    }
    totals_.clear();
    return ok ? true : Fail();
}

bool CatalogueSync::RecordFile(FolderNode* folder, const std::string& folder_path, FolderScanRecord& record) {
    record.path = folder_path;
    FillDetails(VolumeOf(folder), record);
    record.parent_id = folder->folder_id;
    FolderFiles& files = FilesOf(folder->folder_id);
    const std::uint64_t blocks = BlocksOf(folder, record.compressed_size);
    CataloguedFile now{0, record.entry.size, record.compressed_size};
    auto it = files.find(record.entry.name);
    if (it != files.end()) {
        record.file_id = it->second.id;
        if (!UpdateFileRow(catalogue_, record)) {
            return Fail();
        }
        // A name without an extension has no Type, whatever the old name had.
        if (record.entry.name.find('.') == std::string::npos &&
            !Run(catalogue_.connection(), "UPDATE \"File\" SET \"Type\" = NULL WHERE \"File ID\" = ?",
                 {record.file_id})) {
            return Fail();
        }
        const std::uint64_t old_blocks = BlocksOf(folder, it->second.allocated);
        AddToTotals(folder, static_cast<double>(now.size) - static_cast<double>(it->second.size), 0,
                    static_cast<double>(blocks) - static_cast<double>(old_blocks));
        now.id = it->second.id;
        it->second = now;
        return true;
    }
    record.file_id = counters_.next_file++;
    if (!WriteFileRow(catalogue_, record, &dates_)) {
        return Fail();
    }
    AddToTotals(folder, static_cast<double>(now.size), 1, static_cast<double>(blocks));
    now.id = record.file_id;
    files.emplace(record.entry.name, now);
    return true;
}

bool CatalogueSync::ForgetFile(FolderNode* folder, const std::string& name) {
    FolderFiles& files = FilesOf(folder->folder_id);
    auto it = files.find(name);
    if (it == files.end()) {
        return true;
    }
    if (!Run(catalogue_.connection(), "DELETE FROM \"File\" WHERE \"File ID\" = ?", {it->second.id})) {
        return Fail();
    }
    AddToTotals(folder, -static_cast<double>(it->second.size), -1,
                -static_cast<double>(BlocksOf(folder, it->second.allocated)));
    files.erase(it);
    return true;
}

bool CatalogueSync::AddNodesFromDisk(FolderNode* node, const std::string& path, std::int32_t& count) {
    DirectoryReader reader;
    if (!reader.OpenPath(path)) {
        return true;
    }
    const std::uint64_t device = reader.self().device;
    DirectoryEntry entry;
    while (reader.Next(entry)) {
        if (!entry.IsDirectory() || IsDotName(entry.name)) {
            continue;
        }
        FolderNode* child = tree_.AddFolderNode(entry.name, node);
        ++count;
        // Another mount is another volume: recorded as an empty folder.
        if (entry.device == device) {
            AddNodesFromDisk(child, JoinPath(path, entry.name), count);
        }
    }
    return true;
}

bool CatalogueSync::WriteFilesBelow(FolderNode* node, const std::string& path) {
    DirectoryReader reader;
    if (!reader.OpenPath(path)) {
        return true;
    }
    const std::uint64_t device = reader.self().device;
    FolderScanRecord record;
    while (reader.Next(record.entry)) {
        if (IsDotName(record.entry.name)) {
            continue;
        }
        if (!record.entry.IsDirectory()) {
            if (!RecordFile(node, path, record)) {
                return false;
            }
            continue;
        }
        FolderNode* child = ChildNamed(node, record.entry.name);
        if (child != nullptr && child->folder_id != 0 && record.entry.device == device &&
            !WriteFilesBelow(child, JoinPath(path, record.entry.name))) {
            return false;
        }
    }
    return true;
}

bool CatalogueSync::FolderArrived(FolderNode* parent, const std::string& path) {
    if (!FlushTotals()) {
        return false;
    }
    FolderNode* node = tree_.AddFolderNode(SplitPath(path).name, parent);
    std::int32_t count = 1;
    AddNodesFromDisk(node, path, count);
    const EntryDetailsFiller fill = [this](const VolumeScanRecord& volume, FolderScanRecord& record) {
        FillDetails(volume, record);
    };
    const bool inserted = InsertFolderSubtree(catalogue_, tree_, counters_, node, count, parent, fill);
    files_.clear();
    if (!inserted || node->folder_id == 0) {
        tree_.RemoveFolderNode(node);
        return inserted ? true : Fail();
    }
    hints_ |= kHintContentsChanged;
    CountInVolume(node, 0, 1 + node->folders);
    return WriteFilesBelow(node, path);
}

bool CatalogueSync::FolderLeft(FolderNode* node) {
    if (!FlushTotals()) {
        return false;
    }
    const DbHandle db = catalogue_.connection();
    const std::int64_t first = node->folder_id;
    const std::int64_t n = static_cast<std::int64_t>(node->folders) + 1;
    const std::int64_t last = first + n - 1;
    double size = 0;
    std::int64_t files = 0;
    {
        SqlStatement statement;
        if (!statement.Prepare(db, "SELECT \"Size\", \"Files\" FROM \"Folder\" WHERE \"Folder ID\" = ?")) {
            return Fail();
        }
        statement.BindInt(1, first);
        if (statement.Step() == SQLITE_ROW) {
            size = statement.ColumnDouble(0);
            files = statement.ColumnInt(1);
        }
    }
    CountInVolume(node, -files, -n);
    for (FolderNode* above = node->parent; above != nullptr && above != tree_.root(); above = above->parent) {
        TotalsChange& change = totals_[above->folder_id];
        change.size -= size;
        change.files -= files;
        above->folders -= static_cast<std::int32_t>(n);
        if (!Run(db, "UPDATE \"Folder\" SET \"Folders\" = \"Folders\" - ? WHERE \"Folder ID\" = ?",
                 {n, above->folder_id})) {
            return Fail();
        }
    }
    if (!FlushTotals()) {
        return false;
    }
    // The folders after the removed ones close up, so the folders below any
    // folder X stay exactly X+1 to X+Folders(X). Going through negative
    // identifiers keeps every step free of duplicates.
    const bool removed =
        Run(db, "DELETE FROM \"File\" WHERE \"Parent ID\" BETWEEN ? AND ?", {first, last}) &&
        Run(db, "DELETE FROM \"Folder\" WHERE \"Folder ID\" BETWEEN ? AND ?", {first, last}) &&
        Run(db, "UPDATE \"Folder\" SET \"Folder ID\" = ? - \"Folder ID\" WHERE \"Folder ID\" > ?",
            {n, last}) &&
        Run(db, "UPDATE \"Folder\" SET \"Folder ID\" = - \"Folder ID\" WHERE \"Folder ID\" < 0", {}) &&
        Run(db, "UPDATE \"Folder\" SET \"Parent ID\" = \"Parent ID\" - ? WHERE \"Parent ID\" > ?",
            {n, last}) &&
        Run(db, "UPDATE \"File\" SET \"Parent ID\" = \"Parent ID\" - ? WHERE \"Parent ID\" > ?", {n, last}) &&
        Run(db, "UPDATE \"Volume\" SET \"Folder ID\" = \"Folder ID\" - ? WHERE \"Folder ID\" > ?", {n, last});
    if (!removed) {
        return Fail();
    }
    tree_.RemoveFolderNode(node);
    ShiftFolderIds(tree_.root(), static_cast<std::int32_t>(last + 1), static_cast<std::int32_t>(-n));
    counters_.next_folder -= static_cast<std::int32_t>(n);
    files_.clear();
    hints_ |= kHintContentsChanged;
    return true;
}

bool CatalogueSync::WriteFolderDetails(std::int32_t folder_id, const FolderScanRecord& record) {
    SqlStatement statement;
    if (!statement.Prepare(catalogue_.connection(),
                           "UPDATE \"Folder\" SET \"Attributes\" = ?, \"Owner\" = ?, \"Create Date\" = ?, "
                           "\"Modify Date\" = ?, \"Access Date\" = ? WHERE \"Folder ID\" = ?")) {
        return Fail();
    }
    statement.BindInt(1, record.entry.attributes);
    if (record.owner.empty()) {
        statement.BindNull(2);
    } else {
        statement.BindText(2, record.owner);
    }
    BindTime(statement, 3, record.entry.create_time, dates_);
    BindTime(statement, 4, record.entry.modify_time, dates_);
    BindTime(statement, 5, record.entry.access_time, dates_);
    statement.BindInt(6, folder_id);
    return statement.Step() == SQLITE_DONE ? true : Fail();
}

bool CatalogueSync::EntryArrived(const std::string& path) {
    const PathParts parts = SplitPath(path);
    Touch(parts.folder);
    FolderNode* parent = FolderOfPath(parts.folder);
    FolderScanRecord record;
    if (parent == nullptr || ReadPathEntry(path, record.entry) != 0) {
        return true;
    }
    if (!record.entry.IsDirectory()) {
        return RecordFile(parent, parts.folder, record);
    }
    FolderNode* existing = ChildNamed(parent, parts.name);
    if (existing == nullptr) {
        return FolderArrived(parent, path);
    }
    // Merged into a catalogued folder: its files are read again, and its
    // new folders added.
    DirectoryReader reader;
    if (!reader.OpenPath(path)) {
        return true;
    }
    std::vector<std::string> below;
    FolderScanRecord file;
    while (reader.Next(file.entry)) {
        if (IsDotName(file.entry.name)) {
            continue;
        }
        if (file.entry.IsDirectory()) {
            below.push_back(JoinPath(path, file.entry.name));
        } else if (!RecordFile(existing, path, file)) {
            return false;
        }
    }
    reader.Close();
    for (const std::string& folder : below) {
        if (!EntryArrived(folder)) {
            return false;
        }
    }
    return true;
}

bool CatalogueSync::EntryLeft(const std::string& path) {
    DirectoryEntry still;
    if (ReadPathEntry(path, still) == 0) {
        return true;
    }
    const PathParts parts = SplitPath(path);
    Touch(parts.folder);
    FolderNode* parent = FolderOfPath(parts.folder);
    if (parent == nullptr) {
        return true;
    }
    if (FolderNode* folder = ChildNamed(parent, parts.name); folder != nullptr) {
        return FolderLeft(folder);
    }
    return ForgetFile(parent, parts.name);
}

bool CatalogueSync::EntryChanged(const std::string& path) {
    const PathParts parts = SplitPath(path);
    FolderScanRecord record;
    if (ReadPathEntry(path, record.entry) != 0) {
        return true;
    }
    if (!record.entry.IsDirectory()) {
        FolderNode* parent = FolderOfPath(parts.folder);
        return parent == nullptr || RecordFile(parent, parts.folder, record);
    }
    FolderNode* node = FolderOfPath(path);
    if (node == nullptr || node->parent_id == 0) {
        return true;
    }
    record.path = path;
    FillDetails(VolumeOf(node), record);
    hints_ |= kHintContentsChanged;
    return WriteFolderDetails(node->folder_id, record);
}

bool CatalogueSync::EntryRenamed(const std::string& new_path, const std::string& old_name) {
    const PathParts parts = SplitPath(new_path);
    Touch(parts.folder);
    FolderNode* parent = FolderOfPath(parts.folder);
    FolderScanRecord record;
    if (parent == nullptr || ReadPathEntry(new_path, record.entry) != 0) {
        return true;
    }
    if (record.entry.IsDirectory()) {
        FolderNode* node = ChildNamed(parent, old_name);
        if (node == nullptr) {
            return EntryArrived(new_path);
        }
        SqlStatement statement;
        if (!statement.Prepare(catalogue_.connection(),
                               "UPDATE \"Folder\" SET \"Name\" = ? WHERE \"Folder ID\" = ?")) {
            return Fail();
        }
        statement.BindText(1, parts.name);
        statement.BindInt(2, node->folder_id);
        if (statement.Step() != SQLITE_DONE) {
            return Fail();
        }
        tree_.SetFolderName(node, parts.name);
        hints_ |= kHintFolderNameChanged;
        return true;
    }
    FolderFiles& files = FilesOf(parent->folder_id);
    if (auto it = files.find(old_name); it != files.end()) {
        const CataloguedFile file = it->second;
        files.erase(it);
        files.emplace(parts.name, file);
    }
    return RecordFile(parent, parts.folder, record);
}

}  // namespace korvane
