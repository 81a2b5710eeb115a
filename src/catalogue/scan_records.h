// The scanner's records of a volume and of the folder it is walking (also the
// form of a fetched Volume row), the computer record the catalogue keeps, and
// the identifier counters held for the whole run.
#pragma once

#include <cstdint>
#include <string>

#include "platform/directory_entry.h"

namespace korvane {

struct VolumeScanRecord {
    std::int32_t volume_id = 0;
    std::int32_t root_folder_id = 0;
    std::string root;                 // "C:", "\\server\share", a mount point or an FTP location
    std::string name;                 // label, share name or site name
    std::string owner;                // server of a network volume
    std::string media;                // media description
    std::string format;               // file system name
    std::string user_name;            // FTP volumes only
    std::string password;             // FTP volumes only
    std::uint32_t serial_number = 0;  // the port for FTP volumes
    std::uint64_t size = 0;
    std::uint64_t used = 0;
    std::uint64_t free = 0;
    std::uint32_t cluster_size = 0;
    std::int32_t files = 0;
    std::int32_t folders = 0;      // below the root, the root not counted
    std::int32_t volume_type = 0;  // VolType
    std::int32_t flags = 0;        // FTP flags
};

struct FolderScanRecord {
    std::int32_t folder_id = 0;
    // The parent folder's identifier; while a file is written, the identifier
    // of the folder that holds it.
    std::int32_t parent_id = 0;
    std::int32_t file_id = 0;
    std::int32_t level = 0;
    std::string path;                   // the folder's full path
    std::string owner;                  // owner of the current entry, or of the folder once complete
    DirectoryEntry entry;               // the current entry; the folder's own once complete
    std::uint64_t compressed_size = 0;  // of the current entry
    std::int32_t files = 0;             // in this folder and below
    std::uint64_t own_files_size = 0;   // files directly in this folder
    std::int32_t folders = 0;           // below this folder, all depths
    std::uint64_t size = 0;             // all files in this folder and below
    std::uint64_t blocks = 0;           // allocation units of files directly in this folder
};

struct ComputerRecord {
    std::int32_t id = 0;
    std::string computer_name;
    std::string user_name;  // not written to the catalogue
};

// The next volume, folder and file identifiers (the Computer row's Volume
// Key, Folder Key and File Key).
struct IdCounters {
    std::int32_t next_volume = 0;
    std::int32_t next_folder = 0;
    std::int32_t next_file = 1;
};

}  // namespace korvane
