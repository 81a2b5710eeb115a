#include "scan/volume_scanner.h"

#include <sqlite3.h>

#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/event_log.h"
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
                 RowPipeline& rows, ProgressWindow* progress, char separator, std::uint64_t& rows_pushed)
        : context_(context),
          volume_(volume),
          owners_(owners),
          netware_(netware),
          rows_(rows),
          progress_(progress),
          separator_(separator),
          rows_pushed_(rows_pushed) {}

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

    // Folders whose contents the walk could not list, and the first of them
    // with its reason.
    std::int64_t left_out() const { return left_out_; }
    const std::string& first_left_out() const { return first_left_out_; }

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
            // A mount point is another volume: it is recorded empty on purpose.
            if (!child_reader.OpenChild(reader, folder.entry.name, device_) &&
                child_reader.error() != EXDEV && reader.is_open()) {
                LeaveOut(child.path, std::strerror(child_reader.error()));
            }
            walked = WalkFolder(child, child_reader);
        } else {
            LeaveOut(child.path, "deeper than " + std::to_string(kMaxScanDepth) + " folders");
        }
        child.entry = std::move(folder.entry);
        folder.files += child.files;
        folder.folders += child.folders;
        folder.size += child.size;
        FillEntryDetails(owners_, netware_, volume_, child);
        child.parent_id = folder.folder_id;
        rows_.PushFolder(child, separator_);
        RowPushed();
        folder.entry = std::move(child.entry);
        return walked;
    }

    void RowPushed() {
        ++rows_pushed_;
        if (context_.on_row) {
            context_.on_row(rows_pushed_);
        }
    }

    void LeaveOut(const std::string& path, const std::string& reason) {
        if (left_out_++ == 0) {
            first_left_out_ = path + " (" + reason + ")";
        }
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
        RowPushed();
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
    std::uint64_t& rows_pushed_;
    std::int64_t left_out_ = 0;
    std::string first_left_out_;
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
            ++tokens_;
            if (!ScanToken(probe, token)) {
                break;
            }
        }
    }

    // The first row the catalogue refused, when any was.
    const std::string& row_failure() const { return row_failure_; }
    // The non-empty tokens of the list.
    int tokens() const { return tokens_; }

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
                if (context_.ftp_scan && context_.ftp_scan(context_, user_volume, progress_)) {
                    ++context_.report.volumes;
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
        std::string root = probe_path;
        if (!root.empty() && root.front() == '/' && root.back() != '/') {
            root += '/';
        }
        const std::string text = "Can not scan " + root + ", error " + std::to_string(error) + ".";
        Warn(text.substr(0, text.size() - 1) + " (" + std::strerror(error) + ").");
        if (progress_ != nullptr) {
            context_.ui.ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
        }
    }

    void Warn(const std::string& text) {
        context_.report.warnings.push_back(text);
        if (!context_.event_log_path.empty()) {
            WriteEvent(context_.event_log_path, "Korvane", "Warning", text);
        }
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
        root.path = target.root;
        const char separator = PathSeparatorOf(target.root);
        if (target.rest) {
            root.path = JoinPath(root.path, *target.rest, separator);
        }
        // A volume whose starting folder cannot be listed is not scanned: an
        // empty volume would hide that nothing was read.
        DirectoryReader reader;
        if (!reader.OpenPath(root.path)) {
            ReportUnreadable(root.path, reader.error());
            return true;
        }
        root.folder_id = context_.counters.next_folder++;
        volume.root = target.root;
        if (progress_ != nullptr) {
            progress_->SetTitle("Scanning '" + volume.root + "'");
        }

        RowPipeline rows(context_.catalogue,
                         context_.overlap_writing && std::thread::hardware_concurrency() > 1);
        NetWareLayer* netware = IsNetWareVolume(volume) ? Netware() : nullptr;
        VolumeWalker walker(context_, volume, owners_, netware, rows, progress_, separator, rows_pushed_);
        walker.set_device(reader.self().device);
        const bool walked = walker.WalkFolder(root, reader);
        reader.Close();
        if (rows.Finish() != 0 && row_failure_.empty()) {
            row_failure_ = rows.first_error();
        }
        if (walker.left_out() != 0) {
            Warn("Scan of " + root.path + " left out the contents of " + std::to_string(walker.left_out()) +
                 (walker.left_out() == 1 ? " folder" : " folders") + ", the first being " +
                 walker.first_left_out() + ".");
        }

        root.entry = DirectoryEntry{};
        root.owner = volume.owner;
        const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
        root.entry.create_time = root.entry.modify_time = root.entry.access_time = now;
        root.parent_id = 0;
        if (!WriteFolderRow(context_.catalogue, root, separator) && row_failure_.empty()) {
            row_failure_ = context_.catalogue.LastRowError();
        }
        volume.root_folder_id = root.folder_id;
        if (progress_ != nullptr) {
            progress_->SetPosition(100);
        }
        if (!WriteVolumeRow(context_.catalogue, volume) && row_failure_.empty()) {
            row_failure_ = context_.catalogue.LastRowError();
        }
        ++context_.counters.next_volume;
        ++context_.report.volumes;
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
    std::uint64_t rows_pushed_ = 0;
    std::string row_failure_;
    int tokens_ = 0;
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
    // Only a compressed file has a compressed size of its own; every other
    // entry records its size, whatever the file system allocated for it.
    const bool compressed = known && !entry.IsDirectory() && (entry.attributes & kAttrCompressed) != 0;
    record.compressed_size = compressed ? entry.allocated : entry.size;
    if (known) {
        record.owner = owners.OwnerOf(entry);
    } else {
        record.owner.clear();
    }
}

bool BuildCatalogue(ScanContext& context, std::string_view volume_list, ProgressWindow* progress) {
    Catalogue& catalogue = context.catalogue;
    context.report = BuildReport{};
    if (!catalogue.IsOpen()) {
        context.report.failure = "The catalogue is not open.";
        return false;
    }
    RaiseDescriptorLimit();
    const IdCounters previous_counters = context.counters;
    context.tree.FreeFolderTree();
    if (progress != nullptr) {
        progress->Show();
        progress->SetTitle("Initializing Database...");
    }
    const auto finish = [&context, progress, previous_counters](bool result, std::string failure = {}) {
        Catalogue& catalogue = context.catalogue;
        if (!result) {
            // The previous catalogue, its tree and its counters come back.
            catalogue.AbandonRebuild();
            context.counters = previous_counters;
            if (catalogue.IsOpen() && catalogue.OpenCatalogueTables()) {
                context.tree.LoadFolderTree(catalogue);
                catalogue.CloseCatalogueTables();
            }
            context.report.failure = std::move(failure);
        }
        if (progress != nullptr) {
            progress->Close();
        }
        return result;
    };

    if (progress != nullptr) {
        progress->SetTitle("Deleting old records...");
        progress->SetRange(0, 100);
        progress->SetPosition(0);
        progress->SetTitle("Compacting database...");
    }
    // On a shared server a second build waits for the first; the log says so.
    catalogue.set_build_wait_notice([&context](const std::string& text) {
        context.report.warnings.push_back(text);
        if (!context.event_log_path.empty()) {
            WriteEvent(context.event_log_path, "Korvane", "Warning", text);
        }
    });
    const bool began = catalogue.BeginRebuild();
    catalogue.set_build_wait_notice(nullptr);
    if (!began) {
        return finish(false, catalogue.last_error());
    }
    if (!catalogue.OpenCatalogueTables()) {
        return finish(false, catalogue.last_error());
    }

    OpenUserVolumes(catalogue);
    ComputerRecord computer;
    computer.id = 1;
    computer.computer_name = ComputerName();
    WriteComputerRow(catalogue, computer);

    context.counters.next_volume = 1;
    context.counters.next_folder = 1;
    context.counters.next_file = 1;
    VolumeListScan scan(context, progress);
    std::string failure;
    try {
        scan.Run(volume_list);
    } catch (const std::exception& error) {
        // Out of memory in the middle of a volume: that volume is not whole,
        // so the new catalogue is not put in place.
        failure = std::string("The scan stopped: ") + error.what();
    }
    if (failure.empty() && !scan.row_failure().empty()) {
        failure = "The catalogue could not save a row: " + scan.row_failure();
    }
    if (failure.empty() && scan.tokens() != 0 && context.report.volumes == 0) {
        failure = "No volume of the list could be read.";
    }
    CloseUserVolumes(catalogue);
    if (!failure.empty()) {
        return finish(false, failure);
    }
    if (progress != nullptr) {
        progress->SetTitle("Database Close...");
    }
    // The tree is read and the counters are stored before the one commit.
    context.tree.LoadFolderTree(catalogue);
    if (!catalogue.WriteIdCounters(context.counters) || !catalogue.CloseCatalogueTables()) {
        return finish(false, "The new catalogue could not be written: " + catalogue.last_error());
    }
    if (!catalogue.FinishRebuild()) {
        return finish(false, catalogue.last_error());
    }
    return finish(true);
}

}  // namespace korvane
