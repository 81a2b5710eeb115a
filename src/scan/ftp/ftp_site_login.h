// Logging in to an FTP site on behalf of the scan, the download and the
// browse dialog: the site's details, the retry loop they share, and the way
// a server's reply becomes a message for a message box or the event log.
#pragma once

#include <string>
#include <string_view>

#include "app/user_interface.h"
#include "scan/ftp/ftp_client.h"

namespace korvane {

// Attempts before an unattended scan, or any download, gives up on a site.
inline constexpr int kFtpLoginAttempts = 11;

struct FtpSite {
    std::string host;
    std::string user;
    std::string password;
    int port = 0;  // 0: the standard port
    bool passive = false;
};

// A reply as one line of text: its line ends become blanks and trailing
// blanks go, so a multi-line reply reads as one message.
std::string FtpReplyMessage(std::string_view reply);

enum class FtpLoginOutcome {
    kLoggedIn,
    kCancelled,  // the person chose Cancel after a failed attempt
    kGaveUp,     // max_attempts failed attempts
};

// Logs in (no initial directory). After a failed attempt the connection is
// closed and, when the person is there, the server's reply (or
// failure_template filled with the host) is shown with Retry and Cancel and
// a stop icon; unattended, the next attempt follows at once. max_attempts 0
// means no limit while the person is there (unattended it is always
// kFtpLoginAttempts at most). The caller reports kGaveUp its own way.
FtpLoginOutcome LoginWithRetries(FtpConnection& connection, const FtpSite& site, UserInterface& ui,
                                 std::string_view failure_template, int max_attempts);

}  // namespace korvane
