#include "scan/volume_scanner.h"

#include <sqlite3.h>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/text_helpers.h"
#include "catalogue/row_writers.h"
#include "platform/computer_name.h"
#include "platform/directory_reader.h"
#include "platform/volumes.h"
#include "scan/drive_descriptions.h"
#include "scan/netware_volume.h"
#include "scan/row_pipeline.h"

namespace korvane {
namespace {

// Room for tokens in one volume list; the rest of a longer list is ignored.
constexpr std::size_t kMaxVolumeTokens = 255;
// The percentage is recomputed once per this many files.
constexpr std::uint64_t kPercentEvery = 20;

// Each open level of a walk holds one descriptor: allow as many as the
// system lets this process have.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

bool IsDotEntry(const std::string& name) {
    return name == "." || name == "..";
}

// The folder line of the progress window: the path without its volume part.
std::string_view PathBelowVolume(std::string_view path, std::string_view root) {
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        const std::size_t server_end = path.find('\\', 2);
        const std::size_t share_end =
            server_end == std::string_view::npos ? std::string_view::npos : path.find('\\', server_end + 1);
        return share_end == std::string_view::npos ? std::string_view("\\") : path.substr(share_end);
    }
    if (!path.empty() && path.front() == '/') {
        if (root == "/" || path.size() < root.size()) {
            return path;
        }
        const std::string_view below = path.substr(root.size());
        return below.empty() ? std::string_view("/") : below;
    }
    return path.size() > 2 ? path.substr(2) : std::string_view();
}

// Walks one volume, writing rows as entries complete. Holds only the chain of
// folders from the root to the one being listed.
class VolumeWalker {
  public:
    VolumeWalker(ScanContext& context, VolumeScanRecord& volume, OwnerResolver& owners, NetWareLayer* netware,
                 RowPipeline& rows, ProgressWindow* progress, char separator)
        : context_(context),
          volume_(volume),
          owners_(owners),
          netware_(netware),
          rows_(rows),
          progress_(progress),
          separator_(separator) {}

    // Lists the folder the reader has open (nothing when it could not be
    // opened); false when the person cancelled.
    bool WalkFolder(FolderScanRecord& folder, DirectoryReader& reader) {
        while (reader.Next(folder.entry)) {
            if (progress_ != nullptr && progress_->PollCancel()) {
                return false;
            }
            if (!VisitEntry(reader, folder)) {
                return false;
            }
        }
        return true;
    }

    void set_device(std::uint64_t device) { device_ = device; }

  private:
    bool VisitEntry(DirectoryReader& reader, FolderScanRecord& folder) {
        if (folder.entry.IsDirectory()) {
            return VisitFolder(reader, folder);
        }
        return VisitFile(folder);
    }

    bool VisitFolder(DirectoryReader& reader, FolderScanRecord& folder) {
        if (progress_ != nullptr) {
            progress_->SetFirstLine(PathBelowVolume(folder.path, volume_.root));
        }
        if (IsDotEntry(folder.entry.name)) {
            return true;
        }
        ++volume_.folders;
        ++folder.folders;
        FolderScanRecord child;
        child.folder_id = context_.counters.next_folder++;
        child.level = folder.level + 1;
        child.parent_id = folder.folder_id;
        child.path = JoinPath(folder.path, folder.entry.name, separator_);
        bool walked = true;
        if (child.level <= kMaxScanDepth) {
            DirectoryReader child_reader;
            child_reader.OpenChild(reader, folder.entry.name, device_);
            walked = WalkFolder(child, child_reader);
        }
        child.entry = std::move(folder.entry);
        folder.files += child.files;
        folder.folders += child.folders;
        folder.size += child.size;
        FillEntryDetails(owners_, netware_, volume_, child);
        child.parent_id = folder.folder_id;
        rows_.PushFolder(child, separator_);
        folder.entry = std::move(child.entry);
        return walked;
    }

    bool VisitFile(FolderScanRecord& folder) {
        if (progress_ != nullptr) {
            progress_->SetSecondLine(folder.entry.name);
        }
        FillEntryDetails(owners_, netware_, volume_, folder);
        ++volume_.files;
        folder.file_id = context_.counters.next_file++;
        const std::int32_t parent = folder.parent_id;
        folder.parent_id = folder.folder_id;
        ++folder.files;
        folder.own_files_size += folder.entry.size;
        folder.size += folder.entry.size;
        if (volume_.cluster_size != 0) {
            folder.blocks += (folder.compressed_size + volume_.cluster_size - 1) / volume_.cluster_size;
        }
        rows_.PushFile(folder);
        folder.parent_id = parent;
        bytes_scanned_ += folder.compressed_size;
        if (context_.files_seen++ % kPercentEvery == 0 && progress_ != nullptr && volume_.used != 0) {
            std::uint64_t percent =
                bytes_scanned_ / volume_.used * 100 + bytes_scanned_ % volume_.used * 100 / volume_.used;
            if (IsNetWareVolume(volume_) && volume_.name.find('.') != std::string::npos) {
                percent /= 2;
            }
            progress_->SetPosition(static_cast<int>(std::min<std::uint64_t>(percent, 99)));
        }
        return true;
    }

    ScanContext& context_;
    VolumeScanRecord& volume_;
    OwnerResolver& owners_;
    NetWareLayer* netware_;
    RowPipeline& rows_;
    ProgressWindow* progress_;
    char separator_;
    std::uint64_t device_ = 0;
    std::uint64_t bytes_scanned_ = 0;
};

// What a volume token leads to: the path to walk, or why it cannot be.
struct VolumeTarget {
    std::string root;                 // the volume root, as the Volume row records it
    std::optional<std::string> rest;  // the starting folder below the root
    std::string probe_path;           // what is asked about the volume
    int unreachable = 0;              // the errno when no mounted folder can be asked
};

// A "\\server\share\rest" name reaches a share only where it is mounted: the
// mount whose source names that server and share.
std::optional<std::string> MountedUncPath(const std::vector<MountEntry>& mounts, std::string_view name) {
    const std::optional<NetworkName> unc = SplitUncName(name);
    if (!unc || unc->share.empty()) {
        return std::nullopt;
    }
    for (auto mount = mounts.rbegin(); mount != mounts.rend(); ++mount) {
        const std::optional<RemoteName> remote = ParseRemoteSource(mount->source, mount->fs_type);
        if (!remote || !EqualsNoCase(remote->server, unc->server)) {
            continue;
        }
        std::string share = remote->share;
        if (!share.empty() && share.back() == ':') {
            share.pop_back();
        }
        if (!EqualsNoCase(share, unc->share) || !remote->rest.empty()) {
            continue;
        }
        std::string path = mount->mount_point;
        if (!unc->rest.empty()) {
            std::string below = unc->rest;
            for (char& c : below) {
                if (c == '\\') {
                    c = '/';
                }
            }
            path = JoinPath(path, below, '/');
        }
        return path;
    }
    return std::nullopt;
}

class VolumeListScan {
  public:
    VolumeListScan(ScanContext& context, ProgressWindow* progress)
        : context_(context), progress_(progress), owners_() {}

    void Run(std::string_view volume_list) {
        LinuxVolumeProbe system_probe;
        VolumeProbe& probe = context_.probe != nullptr ? *context_.probe : system_probe;
        mounts_ = ListVolumeMounts(probe);
        mount_points_ = MountPointsOf(mounts_);
        for (const std::string& token : SplitTokens(volume_list, kMaxVolumeTokens)) {
            if (token.empty()) {
                continue;
            }
            if (!ScanToken(probe, token)) {
                break;
            }
        }
    }

  private:
    // False when the person cancelled: no further token is scanned.
    bool ScanToken(VolumeProbe& probe, const std::string& token) {
        std::string name = token;
        if (IsUserVolumeToken(token)) {
            UserVolumeRecord user_volume;
            const std::int32_t number = UserVolumeNumber(token);
            if (number == 0 || !SeekUserVolume(context_.catalogue, number) ||
                !ReadUserVolume(context_.catalogue, user_volume)) {
                return true;
            }
            if (IsFtpLocation(user_volume.location)) {
                if (context_.ftp_scan) {
                    context_.ftp_scan(context_, user_volume, progress_);
                }
                return true;
            }
            name = user_volume.location;
        }
        const VolumeTarget target = TargetOf(probe, name);
        if (target.unreachable != 0) {
            ReportUnreadable(target.probe_path, target.unreachable);
            return true;
        }
        VolumeInfo info;
        const int rc = DescribeVolume(probe, mounts_, target.probe_path, info);
        if (rc != 0 && info.fs_type.empty()) {
            ReportUnreadable(target.probe_path, rc);
            return true;
        }
        const std::string_view media = MediaOfDriveType(info.drive_type);
        if (media.empty()) {
            return true;
        }
        return ScanVolume(target, info, media);
    }

    VolumeTarget TargetOf(VolumeProbe& probe, const std::string& name) {
        VolumeTarget target;
        std::string path = name;
        if (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') {
            const std::optional<std::string> mounted = MountedUncPath(mounts_, name);
            if (!mounted) {
                const LocationParts parts = RootOfLocation(name, mount_points_);
                target.root = parts.root;
                target.probe_path = parts.root + "\\";
                target.unreachable = ENOENT;
                return target;
            }
            path = *mounted;
        }
        if (!path.empty() && path.front() == '/') {
            // Symbolic links in a typed path lead to the volume that really
            // holds the folder.
            std::string resolved;
            const int resolve_error = probe.ResolvePath(path, resolved);
            if (resolve_error == 0) {
                path = std::move(resolved);
            } else if (resolve_error == ENOENT || resolve_error == ENOTDIR) {
                // A folder that is not there is not scanned as an empty volume.
                const LocationParts parts = RootOfLocation(path, mount_points_);
                target.root = parts.root;
                target.probe_path = path;
                target.unreachable = resolve_error;
                return target;
            }
            const LocationParts parts = RootOfLocation(path, mount_points_);
            target.root = parts.root;
            target.rest = parts.rest;
            target.probe_path = parts.root;
            return target;
        }
        // A drive letter or other name that no mount of this machine carries.
        const LocationParts parts = RootOfLocation(path, mount_points_);
        target.root = parts.root;
        target.rest = parts.rest;
        target.probe_path = parts.root + "\\";
        target.unreachable = ENOENT;
        return target;
    }

    void ReportUnreadable(const std::string& probe_path, int error) {
        if (progress_ == nullptr) {
            return;
        }
        std::string root = probe_path;
        if (!root.empty() && root.front() == '/' && root.back() != '/') {
            root += '/';
        }
        const std::string text = "Can not scan " + root + ", error " + std::to_string(error) + ".";
        context_.ui.ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
    }

    bool ScanVolume(const VolumeTarget& target, const VolumeInfo& info, std::string_view media) {
        VolumeScanRecord volume;
        volume.volume_id = context_.counters.next_volume;
        volume.name = info.label.empty() ? "(Untitled volume)" : info.label;
        volume.media = std::string(media);
        volume.format = info.fs_type;
        volume.serial_number = info.serial;
        volume.size = info.size;
        volume.free = info.free;
        volume.used = info.used;
        volume.cluster_size = info.cluster_size;
        volume.volume_type = 1;
        switch (info.drive_type) {
            case DriveType::kRemovable:
            case DriveType::kCdRom:
            case DriveType::kRamDisk:
                volume.serial_number = 0;
                break;
            case DriveType::kRemote:
                if (info.remote) {
                    volume.owner = info.remote->server;
                    volume.name = info.remote->share;
                    if (!volume.name.empty() && volume.name.back() == ':') {
                        volume.name.pop_back();
                    }
                    if (IsNetWareFileSystem(info.fs_type)) {
                        TakeNetWareVolume(volume);
                    }
                }
                break;
            default:
                break;
        }

        FolderScanRecord root;
        root.folder_id = context_.counters.next_folder++;
        root.path = target.root;
        volume.root = target.root;
        if (progress_ != nullptr) {
            progress_->SetTitle("Scanning '" + volume.root + "'");
        }
        const char separator = PathSeparatorOf(target.root);
        if (target.rest) {
            root.path = JoinPath(root.path, *target.rest, separator);
        }

        RowPipeline rows(context_.catalogue,
                         context_.overlap_writing && std::thread::hardware_concurrency() > 1);
        NetWareLayer* netware = IsNetWareVolume(volume) ? Netware() : nullptr;
        VolumeWalker walker(context_, volume, owners_, netware, rows, progress_, separator);
        DirectoryReader reader;
        if (reader.OpenPath(root.path)) {
            walker.set_device(reader.self().device);
        }
        const bool walked = walker.WalkFolder(root, reader);
        reader.Close();
        rows.Finish();

        root.entry = DirectoryEntry{};
        root.owner = volume.owner;
        const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
        root.entry.create_time = root.entry.modify_time = root.entry.access_time = now;
        root.parent_id = 0;
        WriteFolderRow(context_.catalogue, root, separator);
        volume.root_folder_id = root.folder_id;
        if (progress_ != nullptr) {
            progress_->SetPosition(100);
        }
        WriteVolumeRow(context_.catalogue, volume);
        ++context_.counters.next_volume;
        return walked;
    }

    // The volume type of a NetWare volume, and its sizes as the server
    // counts them when the NetWare layer can read them.
    void TakeNetWareVolume(VolumeScanRecord& volume) {
        volume.volume_type = NetWareVolumeTypeOf(volume.name);
        NetWareVolumeSpace space;
        if (Netware()->NwVolumeSpace(volume.owner, volume.name, space) == 0) {
            volume.size = space.size;
            volume.used = space.used;
            volume.free = space.free;
            volume.cluster_size = space.cluster_size;
        }
    }

    NetWareLayer* Netware() {
        if (context_.netware != nullptr) {
            return context_.netware;
        }
        if (!own_netware_) {
            own_netware_ = std::make_unique<NetWareLayer>();
        }
        return own_netware_.get();
    }

    ScanContext& context_;
    ProgressWindow* progress_;
    OwnerResolver owners_;
    std::unique_ptr<NetWareLayer> own_netware_;
    std::vector<MountEntry> mounts_;
    std::vector<std::string> mount_points_;
};

}  // namespace

void FillEntryDetails(OwnerResolver& owners, const VolumeScanRecord& volume, FolderScanRecord& record) {
    FillEntryDetails(owners, nullptr, volume, record);
}

void FillEntryDetails(OwnerResolver& owners, NetWareLayer* netware, const VolumeScanRecord& volume,
                      FolderScanRecord& record) {
    if (IsNetWareVolume(volume)) {
        FillNetWareDetails(netware, volume, record);
        return;
    }
    const DirectoryEntry& entry = record.entry;
    // An entry the listing named but could not stat carries no details.
    const bool known = entry.inode != 0;
    record.compressed_size = entry.IsDirectory() || !known ? entry.size : entry.allocated;
    if (known) {
        record.owner = owners.OwnerOf(entry);
    } else {
        record.owner.clear();
    }
}

bool BuildCatalogue(ScanContext& context, std::string_view volume_list, ProgressWindow* progress) {
    Catalogue& catalogue = context.catalogue;
    if (!catalogue.IsOpen()) {
        return false;
    }
    RaiseDescriptorLimit();
    context.tree.FreeFolderTree();
    if (progress != nullptr) {
        progress->Show();
        progress->SetTitle("Initializing Database...");
    }
    const auto finish = [&context, progress](bool result) {
        // A build that stopped early leaves the tree as the catalogue now is.
        Catalogue& catalogue = context.catalogue;
        if (!result && catalogue.IsOpen() && !catalogue.TablesOpen() && catalogue.OpenCatalogueTables()) {
            context.tree.LoadFolderTree(catalogue);
            catalogue.CloseCatalogueTables();
        }
        if (progress != nullptr) {
            progress->Close();
        }
        return result;
    };

    if (!catalogue.OpenCatalogueTables()) {
        return finish(false);
    }
    if (progress != nullptr) {
        progress->SetTitle("Deleting old records...");
        progress->SetRange(0, 100);
        progress->SetPosition(0);
    }
    const bool emptied = catalogue.EmptyCatalogueTables();
    catalogue.CloseCatalogueTables();
    if (!emptied) {
        return finish(false);
    }

    const std::string path = catalogue.path();
    catalogue.CloseCatalogue();
    if (progress != nullptr) {
        progress->SetTitle("Compacting database...");
    }
    CompactCatalogue(path);
    if (!catalogue.OpenCatalogue(path)) {
        return finish(false);
    }
    // The build writes an emptied catalogue through a rollback journal: each
    // page is written once, where WAL would write it again at the checkpoint.
    // While another process reads the catalogue the switch is refused and the
    // build stays in WAL; either way every commit is synced.
    sqlite3_exec(catalogue.handle(), "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    if (!catalogue.OpenCatalogueTables()) {
        sqlite3_exec(catalogue.handle(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        return finish(false);
    }

    OpenUserVolumes(catalogue);
    ComputerRecord computer;
    computer.id = 1;
    computer.computer_name = ComputerName();
    WriteComputerRow(catalogue, computer);

    context.counters.next_volume = 1;
    context.counters.next_folder = 1;
    context.counters.next_file = 1;
    try {
        VolumeListScan(context, progress).Run(volume_list);
    } catch (const std::exception&) {
        // Out of memory in the middle of a volume: the rows saved so far
        // stay, and the build completes its closing steps.
    }

    CloseUserVolumes(catalogue);
    if (progress != nullptr) {
        progress->SetTitle("Database Close...");
    }
    // The tree is read and the counters are stored before the one commit
    // that makes the whole build durable at once.
    context.tree.LoadFolderTree(catalogue);
    bool ok = catalogue.WriteIdCounters(context.counters);
    ok = catalogue.CloseCatalogueTables() && ok;
    sqlite3_exec(catalogue.handle(), "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    return finish(ok);
}

}  // namespace korvane
