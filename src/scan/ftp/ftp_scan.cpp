#include "scan/ftp/ftp_scan.h"

#include <unistd.h>

#include <ctime>
#include <string_view>

#include "app/event_log.h"
#include "app/text_helpers.h"
#include "catalogue/row_writers.h"
#include "scan/ftp/ftp_list_parser.h"
#include "scan/ftp/ftp_listing_file.h"
#include "scan/ftp/ftp_site_login.h"
#include "scan/ftp/net_error.h"

namespace korvane {

namespace {

constexpr std::string_view kEventSource = "FTP Scan";
constexpr char kSeparator = '/';

// Closes and deletes a folder's listing however its walk ends.
class ListingGuard {
  public:
    explicit ListingGuard(std::string path) : path_(std::move(path)) {}
    ~ListingGuard() {
        file.Close();
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    ListingGuard(const ListingGuard&) = delete;
    ListingGuard& operator=(const ListingGuard&) = delete;

    FtpListingFile file;

  private:
    std::string path_;
};

// A name a server could really hold in one folder: "/" would change the
// path the row stands for, and a NUL cannot be sent in a command.
bool IsPlausibleName(std::string_view name) {
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

void FillEntry(const FtpDirEntry& listed, DirectoryEntry& entry) {
    entry = DirectoryEntry{};
    entry.name = listed.name;
    entry.attributes = listed.attributes;
    entry.size = listed.size;
    entry.create_time = entry.modify_time = entry.access_time = listed.time;
}

std::string SubfolderPath(const std::string& parent, std::string_view name) {
    std::string path = parent;
    if (path.empty() || path.back() != kSeparator)
        path.push_back(kSeparator);
    path.append(name);
    return path;
}

void LogScanFailure(const FtpScanTarget& target, int error) {
    WriteEvent(target.event_log_path, kEventSource, "Error",
               "FTP Scan failed with error " + std::to_string(error) + ".");
}

void RecordFile(FtpWalk& walk, FolderScanRecord& folder, const FtpDirEntry& listed) {
    FolderScanRecord& record = walk.file_record;
    FillEntry(listed, record.entry);
    record.owner = listed.owner;
    record.compressed_size = 0;
    record.file_id = walk.target.counters.next_file++;
    record.parent_id = folder.folder_id;
    ++walk.volume.files;
    ++folder.files;
    folder.own_files_size += listed.size;
    folder.size += listed.size;
    WriteFileRow(walk.target.catalogue, record);
}

// False when the walk must stop; the subfolder's row is written either way.
bool RecordFolder(FtpWalk& walk, FolderScanRecord& folder, const FtpDirEntry& listed) {
    ++walk.volume.folders;
    ++folder.folders;
    FolderScanRecord subfolder;
    subfolder.folder_id = walk.target.counters.next_folder++;
    subfolder.parent_id = folder.folder_id;
    subfolder.level = folder.level + 1;
    subfolder.path = SubfolderPath(folder.path, listed.name);
    subfolder.owner = listed.owner;
    FillEntry(listed, subfolder.entry);

    bool walked = true;
    if (subfolder.level < kFtpMaxWalkDepth && subfolder.path.size() <= kFtpMaxWalkPath)
        walked = FtpWalkFolder(walk, subfolder);

    folder.files += subfolder.files;
    folder.folders += subfolder.folders;
    folder.size += subfolder.size;
    WriteFolderRow(walk.target.catalogue, subfolder, kSeparator);
    return walked;
}

}  // namespace

bool FtpWalkFolder(FtpWalk& walk, FolderScanRecord& folder) {
    FtpConnection& connection = walk.connection;
    ProgressWindow* progress = walk.progress;
    if (progress != nullptr) {
        if (progress->PollCancel())
            return false;
        progress->SetFirstLine(DisplayText(folder.path));
    }

    // A refusal leaves the error at 0; only the network sets it.
    SetLastNetError(kNetErrorNone);
    connection.aborted = 0;
    std::string listing;
    bool listed = FtpCommand(connection, "CWD " + folder.path + "\r\n", "250", nullptr);
    if (listed) {
        FtpStatusCallback status;
        if (progress != nullptr)
            status = [progress](std::string_view count) { progress->SetSecondLine(count); };
        const bool passive = (walk.volume.flags & kPassiveTransfers) != 0;
        listed = FtpTransfer(connection, listing, "", true, passive, nullptr, status);
    }
    if (!listed) {
        if (connection.aborted != 0)
            return false;
        const int error = LastNetError();
        if (error == kNetErrorNone)
            return true;
        LogScanFailure(walk.target, error);
        return false;
    }

    ListingGuard guard(listing);
    if (!guard.file.Open(listing))
        return true;
    FtpDirEntry entry;
    while (guard.file.Next(entry)) {
        if (!IsPlausibleName(entry.name))
            continue;
        if ((entry.attributes & kFtpAttrDirectory) == 0) {
            RecordFile(walk, folder, entry);
            continue;
        }
        if (entry.name == "." || entry.name == "..")
            continue;
        if (!RecordFolder(walk, folder, entry))
            return false;
    }
    return true;
}

bool FtpScanVolume(FtpScanTarget& target, const UserVolumeRecord& user_volume, ProgressWindow* progress) {
    std::string_view site = user_volume.location;
    if (StartsWithNoCase(site, kFtpPrefix))
        site.remove_prefix(kFtpPrefix.size());
    const std::size_t slash = site.find('/');
    const std::string host(site.substr(0, slash));
    const std::string start =
        slash == std::string_view::npos ? std::string() : std::string(site.substr(slash));

    FtpConnection connection;
    connection.timeouts = target.timeouts;
    connection.temp_folder = target.temp_folder;
    if (progress != nullptr) {
        progress->SetTitle(FillTemplate("Connecting to %s...", host));
        progress->SetFirstLine("");
        progress->SetSecondLine("");
        progress->SetPosition(0);
        connection.abort_callback = [progress] { return progress->PollCancel() ? 1 : 0; };
    }

    FtpSite login{host, user_volume.user_name, user_volume.password, user_volume.port,
                  (user_volume.flags & kPassiveTransfers) != 0};
    switch (LoginWithRetries(connection, login, target.ui, "Can't connect to %s.", 0)) {
        case FtpLoginOutcome::kLoggedIn:
            break;
        case FtpLoginOutcome::kGaveUp:
            WriteEvent(target.event_log_path, kEventSource, "Error",
                       FillTemplate("Could not connect to %s.", host));
            return false;
        case FtpLoginOutcome::kCancelled:
            return false;
    }
    if (progress != nullptr)
        progress->SetTitle(FillTemplate("Scanning %s...", host));

    VolumeScanRecord volume;
    volume.volume_id = target.counters.next_volume;
    volume.root = "ftp:" + host;
    volume.name = host;
    volume.owner = host;
    volume.media = "FTP Server";
    volume.format = "FTP";
    volume.serial_number = static_cast<std::uint32_t>(user_volume.port);
    volume.volume_type = 2;
    volume.flags = user_volume.flags;
    volume.user_name = user_volume.user_name;
    volume.password = user_volume.password;

    FolderScanRecord root;
    root.owner = host;
    const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
    root.entry.create_time = root.entry.modify_time = root.entry.access_time = now;
    root.parent_id = 0;
    root.folder_id = target.counters.next_folder++;
    volume.root_folder_id = root.folder_id;
    root.path = start.empty() ? std::string("/") : start;

    FtpWalk walk{target, connection, volume, progress, {}};
    const bool walked = FtpWalkFolder(walk, root);

    root.path = "ftp:" + host + start;
    WriteFolderRow(target.catalogue, root, kSeparator);
    WriteVolumeRow(target.catalogue, volume);
    ++target.counters.next_volume;

    if (progress != nullptr)
        progress->SetTitle(FillTemplate("Disconnecting from %s...", host));
    FtpClose(connection);
    return walked;
}

}  // namespace korvane
