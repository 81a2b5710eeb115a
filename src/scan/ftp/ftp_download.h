// Fetching files of a scanned FTP volume into the temporary folder, so that
// a file action can copy or move them like local files.
//
// Layout: each download makes its own folder "korvane-ftp-XXXXXX" (mode
// 0700) in the temporary folder, and inside it one numbered subfolder per
// remote folder, in the order the folders first appear ("1", "2", ...). A
// file keeps its remote name, so two files of the same name from different
// folders never meet, and no remote folder name ever becomes part of a local
// path. A name that is empty, "." or ".." or holds a NUL is refused ("Could
// not get %s."); any other byte, control characters included, is kept, as it
// stays inside its subfolder. A file whose transfer fails is removed, never
// left half written. The caller removes the folder when done with it
// (RemoveFtpDownload).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "scan/ftp/ftp_client.h"

namespace korvane {

struct FtpDownloadTarget {
    Catalogue& catalogue;  // open; its Volume row of the site gives the login
    UserInterface& ui;
    std::string event_log_path;
    FtpTimeouts timeouts;
    std::string temp_folder;  // empty: the system's temporary folder
};

struct FtpFetchedFile {
    std::size_t entry = 0;  // index in the path list
    std::string local_path;
};

struct FtpDownloadResult {
    std::string folder;                 // the download's own folder; empty when none was made
    std::vector<FtpFetchedFile> files;  // fetched files, in list order
    bool cancelled = false;             // the person stopped the downloads
};

// Fetches the entries of paths ("ftp:" + host + "/" path of a file) whose
// skip flag (same index; missing counts as 0) is 0. The first such entry
// fixes the site; entries of any other site, and entries that are not FTP
// paths, are left out. The Volume row of the site supplies host, user,
// password, port (Serial Number) and the passive flag. Up to
// kFtpLoginAttempts logins; after the last, "Couldn't connect to %s." goes to
// the event log (source "FTP", type "Error"). Failures of single files are
// shown to the person, or logged unattended, and the others go on. False
// when nothing could be fetched: no entry to fetch, no Volume row for the
// site, no login. A cancelled download returns what was fetched until then,
// with cancelled set.
bool FtpDownload(FtpDownloadTarget& target, const std::vector<std::string>& paths,
                 const std::vector<int>& skip_flags, ProgressWindow* progress, FtpDownloadResult& result);

// Removes a download's folder with everything in it.
void RemoveFtpDownload(FtpDownloadResult& result);

}  // namespace korvane
