// The Add Volume dialog's rules, as functions the dialog calls: which
// controls a volume kind shows, what the check boxes do, and how OK checks
// and normalises what was typed into a UserVolumeRecord.
//
// On Linux a logical-drive location is a mount point path, a path below one,
// a "\\server\share" name or a drive-style name. A typed UNC name is kept in
// UNC form (server, share, the share's own subfolder, then the rest). A path
// on a remote mount (cifs, nfs, sshfs ...) is Remote but keeps its path, which
// is how this system reaches the share; a path on a local mount is Local.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/text_helpers.h"
#include "catalogue/user_volumes.h"

namespace korvane {

enum class UserVolumeKind { Local, Remote, Ftp };

struct FormCheck {
    bool checked = false;
    bool enabled = false;
};

struct FormText {
    std::string text;
    bool enabled = false;
};

// What the dialog shows.
struct AddVolumeForm {
    UserVolumeKind kind = UserVolumeKind::Local;
    std::string type_line;           // "Local", "Remote" or "FTP"
    bool ftp_site_selected = false;  // the radio buttons: "&FTP site" or "Logical &drive"
    FormCheck use_default;
    FormCheck save_password;
    FormCheck passive;
    FormText user_name;
    FormText password;
    FormText port;
    std::string location;  // "Starting &location:"
    bool browse_enabled = true;
};

inline constexpr std::string_view kAnonymousUser = "anonymous";
// The password offered for anonymous FTP logins, shaped like an e-mail address.
inline constexpr std::string_view kDefaultFtpPassword = "korvane@localhost";
inline constexpr std::string_view kDefaultFtpPort = "21";

inline constexpr std::string_view kNoLocationMessage = "You must supply a location.";
inline constexpr std::string_view kNoUserNameMessage =
    "You must supply a username or turn the 'Use default' option on.";
inline constexpr std::string_view kNoPasswordMessage =
    "You must supply a password, turn the 'Use default' option on, or turn the 'Save password' option off.";
inline constexpr std::string_view kInvalidSelectionMessage = "Invalid selection.";
inline constexpr std::string_view kBrowseTitle = "Initial Scan Location";

// The dialog as it opens: kind Local.
AddVolumeForm NewAddVolumeForm();
// Sets every control as the kind shows it.
void ShowVolumeKind(AddVolumeForm& form, UserVolumeKind kind);
// "Logical drive" while FTP shows Local; "FTP site" while not FTP shows FTP.
void ChooseLogicalDrive(AddVolumeForm& form);
void ChooseFtpSite(AddVolumeForm& form);
void SetUseDefault(AddVolumeForm& form, bool on);
void SetSavePassword(AddVolumeForm& form, bool on);

// The platform lookups the logical-drive rules need; tests may give their own.
struct LocationLookup {
    std::function<LocationParts(std::string_view)> root_of_location;
    std::function<std::optional<NetworkName>(std::string_view)> split_network_name;
};
LocationLookup SystemLocationLookup();

struct NormalisedLocation {
    UserVolumeKind kind = UserVolumeKind::Local;
    std::string location;
};
// A logical-drive location: Remote or Local as described above, one final
// separator removed ("/" itself stays).
NormalisedLocation NormaliseLogicalDrive(std::string_view typed, const LocationLookup& lookup);
// "ftp:" and the typed host and path, "\" turned into "/", one final "/"
// removed. A typed "ftp:" or "ftp://" in front is not doubled.
std::string NormaliseFtpLocation(std::string_view typed);

enum class AddVolumeField { None, Location, UserName, Password };

struct AddVolumeOutcome {
    bool ok = false;
    std::string message;  // shown in a message box when not ok
    AddVolumeField focus = AddVolumeField::None;
};

// OK: checks and normalises in the dialog's order and fills the record
// (location, user name and password as the fields hold them, port from the
// port field's leading digits or 0, bit 0 of flags for passive transfers).
// When not ok the dialog stays open with the focus on the field named.
AddVolumeOutcome AcceptAddVolume(AddVolumeForm& form, UserVolumeRecord& record, const LocationLookup& lookup);

// Browse for a logical drive: the folder chosen (none: "Invalid selection.")
// is normalised into the location field and its kind shown anew.
AddVolumeOutcome TakeBrowsedFolder(AddVolumeForm& form, std::optional<std::string_view> chosen,
                                   const LocationLookup& lookup);
// Browse for an FTP site: the host the browser connects to.
std::string FtpBrowseHost(std::string_view location);
// After an FTP browse: the location becomes the host and the path selected.
void TakeFtpBrowse(AddVolumeForm& form, std::string_view host, std::string_view selected_path);

}  // namespace korvane
