// The FTP scan: an FTP user volume walked into the catalogue over listings,
// depth first, each file, folder and finally the volume written the moment
// it is complete, exactly as a local volume is scanned.
//
// Paths below the site use "/": the root folder walks the user volume's
// starting folder ("/" for the whole site) and is recorded under the name
// "ftp:" + host + starting folder; the volume's Root is "ftp:" + host and
// its Serial Number holds the port, which the download reads back.
//
// Entries: a listed folder (other than "." and "..") becomes a Folder row
// and is walked; everything else, links included, becomes a File row whose
// Attributes are the listing's (0, or kFtpAttrLink for a link); all three
// times are the listed time. A name that cannot be a name on the server (it
// holds "/" or a NUL) is passed over. A folder kFtpMaxWalkDepth levels
// down, or whose path would pass kFtpMaxWalkPath bytes, is recorded
// without being walked: a server whose folders lead into themselves cannot
// make the walk endless.
#pragma once

#include <cstddef>
#include <string>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/scan_records.h"
#include "catalogue/user_volumes.h"
#include "scan/ftp/ftp_client.h"

namespace korvane {

inline constexpr int kFtpMaxWalkDepth = 256;
inline constexpr std::size_t kFtpMaxWalkPath = 4095;

// Everything an FTP scan works on besides the user volume. The catalogue's
// tables must be open; the counters are the build's.
struct FtpScanTarget {
    Catalogue& catalogue;
    IdCounters& counters;
    UserInterface& ui;
    std::string event_log_path;
    FtpTimeouts timeouts;     // the program's values unless a test shortens them
    std::string temp_folder;  // listings go here; empty: the system's temporary folder
};

// Scans the FTP user volume (location "ftp:" + host + optional starting
// folder). Logs in with the volume's user, password and port; after a
// failure the person may retry or cancel, while an unattended scan retries
// at once and after kFtpLoginAttempts failures writes "Could not connect to
// %s." to the event log (source "FTP Scan", type "Error"). Nothing is written
// to the catalogue unless the login succeeded; after it the root folder and
// the volume rows are written whatever the walk gave. True when the site was
// walked to the end; false when the login failed, the person cancelled or
// the network failed ("FTP Scan failed with error %d." in the event log).
bool FtpScanVolume(FtpScanTarget& target, const UserVolumeRecord& user_volume, ProgressWindow* progress);

// Adapter for the build's FTP hook (ScanContext::ftp_scan): any context
// with catalogue, counters, ui and event_log_path, scanned with the
// program's waits.
inline constexpr auto kScanFtpUserVolume = [](auto& context, const UserVolumeRecord& user_volume,
                                              ProgressWindow* progress) {
    FtpScanTarget target{context.catalogue, context.counters, context.ui, context.event_log_path, {}, {}};
    return FtpScanVolume(target, user_volume, progress);
};

// One site's walk in progress: its connection and volume record.
struct FtpWalk {
    FtpScanTarget& target;
    FtpConnection& connection;
    VolumeScanRecord& volume;
    ProgressWindow* progress = nullptr;
    FolderScanRecord file_record;  // each file's row is written from here
};

// Lists the folder whose path the record holds (it must already carry its
// folder ID and level) and writes a row for every file and every folder
// below it; the folder's totals grow by what was found. A folder the server
// refuses to enter or list is left empty and the walk goes on. False when
// the person cancelled or the network failed (logged): the walk must stop.
bool FtpWalkFolder(FtpWalk& walk, FolderScanRecord& folder);

}  // namespace korvane
