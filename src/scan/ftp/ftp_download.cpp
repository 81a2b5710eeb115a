#include "scan/ftp/ftp_download.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <string_view>
#include <system_error>

#include "app/event_log.h"
#include "app/text_helpers.h"
#include "catalogue/user_volumes.h"
#include "catalogue/volume_fetch.h"
#include "scan/ftp/ftp_site_login.h"

namespace korvane {

namespace {

constexpr std::string_view kEventSource = "FTP";

struct KeptEntry {
    std::size_t index = 0;
    std::string folder;  // from the first "/" to the last, "/" for the top
    std::string name;    // after the last "/"
};

// Splits "ftp:host/a/b/name" into its folder "/a/b" and name; false when
// the entry names no file below the host.
bool SplitEntry(std::string_view entry, KeptEntry& kept) {
    const std::size_t first = entry.find('/');
    if (first == std::string_view::npos)
        return false;
    const std::size_t last = entry.rfind('/');
    kept.folder = last == first ? std::string("/") : std::string(entry.substr(first, last - first));
    kept.name = std::string(entry.substr(last + 1));
    return true;
}

// A name that stays one component inside its subfolder.
bool IsLocalFileName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find('\0') == std::string_view::npos &&
           name.find('/') == std::string_view::npos;
}

// A reply that explains a failure: a positive one ("150 Opening ...") only
// says how far the transfer got.
std::string FailureReply(std::string_view reply) {
    if (reply.empty() || (reply[0] != '4' && reply[0] != '5'))
        return std::string();
    return FtpReplyMessage(reply);
}

class Download {
  public:
    Download(FtpDownloadTarget& target, ProgressWindow* progress, FtpDownloadResult& result)
        : target_(target), progress_(progress), result_(result) {}

    void Report(const std::string& text) {
        if (target_.ui.Interactive()) {
            target_.ui.ShowMessage(DisplayText(text), MessageIcon::Stop, MessageButtons::Ok);
        } else {
            WriteEvent(target_.event_log_path, kEventSource, "Error", text);
        }
    }

    // The local subfolder for a remote folder, made on first use; empty
    // when it cannot be made.
    std::string SubfolderFor(const std::string& remote_folder) {
        if (result_.folder.empty() && !MakeDownloadFolder())
            return std::string();
        auto found = subfolders_.find(remote_folder);
        if (found != subfolders_.end())
            return found->second;
        std::string local = result_.folder + "/" + std::to_string(subfolders_.size() + 1);
        if (::mkdir(local.c_str(), 0700) != 0)
            return std::string();
        subfolders_.emplace(remote_folder, local);
        return local;
    }

    // False when the loop must stop (the person cancelled).
    bool Fetch(FtpConnection& connection, const KeptEntry& entry, bool passive) {
        if (progress_ != nullptr)
            progress_->SetFirstLine(DisplayText(entry.folder));
        std::string reply;
        if (!FtpCommand(connection, "CWD " + entry.folder + "\r\n", "250", &reply)) {
            const std::string text = FailureReply(reply);
            Report(text.empty() ? FillTemplate("Could not CWD to %s.", entry.folder) : text);
            return true;
        }
        const std::string subfolder =
            IsLocalFileName(entry.name) ? SubfolderFor(entry.folder) : std::string();
        if (subfolder.empty()) {
            Report(FillTemplate("Could not get %s.", entry.name));
            return true;
        }
        std::string local = subfolder + "/" + entry.name;
        if (progress_ != nullptr)
            progress_->SetFirstLine(DisplayText(entry.folder + "/" + entry.name));
        FtpStatusCallback status;
        if (progress_ != nullptr)
            status = [this](std::string_view count) { progress_->SetSecondLine(count); };
        if (FtpTransfer(connection, local, entry.name, false, passive, &reply, status)) {
            result_.files.push_back({entry.index, std::move(local)});
            return true;
        }
        const bool aborted = connection.aborted != 0;
        std::string text = FailureReply(reply);
        if (text.empty() && !aborted)
            text = FillTemplate("Could not get %s.", entry.name);
        if (!text.empty())
            Report(text);
        if (aborted)
            result_.cancelled = true;
        return !aborted;
    }

  private:
    bool MakeDownloadFolder() {
        std::string base = target_.temp_folder;
        if (base.empty()) {
            std::error_code error;
            base = std::filesystem::temp_directory_path(error).string();
            if (error)
                return false;
        }
        if (base.empty() || base.back() != '/')
            base.push_back('/');
        std::string pattern = base + "korvane-ftp-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            return false;
        result_.folder = pattern;
        return true;
    }

    FtpDownloadTarget& target_;
    ProgressWindow* progress_;
    FtpDownloadResult& result_;
    std::map<std::string, std::string> subfolders_;
};

}  // namespace

bool FtpDownload(FtpDownloadTarget& target, const std::vector<std::string>& paths,
                 const std::vector<int>& skip_flags, ProgressWindow* progress, FtpDownloadResult& result) {
    result = FtpDownloadResult{};
    std::string root;
    std::vector<KeptEntry> kept;
    VolumeScanRecord volume;
    bool have_volume = false;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string& path = paths[i];
        if ((i < skip_flags.size() && skip_flags[i] != 0) || !IsFtpLocation(path))
            continue;
        const LocationParts parts = RootOfLocation(path);
        if (root.empty()) {
            root = parts.root;
            have_volume = FetchVolumeByRoot(target.catalogue, path, volume);
        } else if (!EqualsNoCase(parts.root, root)) {
            continue;
        }
        KeptEntry entry;
        entry.index = i;
        if (!SplitEntry(path, entry))
            entry.folder.clear();
        kept.push_back(std::move(entry));
    }
    if (kept.empty())
        return false;

    Download download(target, progress, result);
    if (!have_volume) {
        // Without the site's Volume row there is no login to use.
        download.Report(FillTemplate("Couldn't connect to %s.", root.substr(kFtpPrefix.size())));
        return false;
    }
    const FtpSite site{volume.name, volume.user_name, volume.password, static_cast<int>(volume.serial_number),
                       (volume.flags & kPassiveTransfers) != 0};

    FtpConnection connection;
    connection.timeouts = target.timeouts;
    connection.temp_folder = target.temp_folder;
    if (progress != nullptr) {
        progress->Show();
        progress->SetTitle(FillTemplate("Connecting to %s...", site.host));
        progress->SetFirstLine("");
        progress->SetSecondLine("");
        progress->SetPosition(0);
        connection.abort_callback = [progress] { return progress->PollCancel() ? 1 : 0; };
    }
    const auto finish = [progress](bool ok) {
        if (progress != nullptr)
            progress->Close();
        return ok;
    };

    switch (LoginWithRetries(connection, site, target.ui, "Can't connect to %s.", kFtpLoginAttempts)) {
        case FtpLoginOutcome::kLoggedIn:
            break;
        case FtpLoginOutcome::kGaveUp:
            WriteEvent(target.event_log_path, kEventSource, "Error",
                       FillTemplate("Couldn't connect to %s.", site.host));
            return finish(false);
        case FtpLoginOutcome::kCancelled:
            return finish(false);
    }

    if (progress != nullptr)
        progress->SetTitle("Downloading files...");
    for (const KeptEntry& entry : kept) {
        if (entry.folder.empty()) {
            download.Report(FillTemplate("Could not get %s.", paths[entry.index]));
            continue;
        }
        if (!download.Fetch(connection, entry, site.passive))
            break;
    }

    if (progress != nullptr)
        progress->SetTitle(FillTemplate("Disconnecting from %s...", site.host));
    FtpClose(connection);
    return finish(true);
}

void RemoveFtpDownload(FtpDownloadResult& result) {
    if (!result.folder.empty()) {
        std::error_code error;
        std::filesystem::remove_all(result.folder, error);
    }
    result = FtpDownloadResult{};
}

}  // namespace korvane
