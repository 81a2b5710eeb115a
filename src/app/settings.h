// The installation folder and Korvane.ini: where the program keeps its
// settings, its event log and (by default) its catalogue.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace korvane {

// Section and key names of Korvane.ini.
inline constexpr const char* kOptionsSection = "Options";
inline constexpr const char* kEmailSection = "Email";
inline constexpr const char* kCurrentProjectSection = "Current Project";
inline constexpr const char* kSelectedVolumeSection = "Selected Volume";
inline constexpr const char* kTipSection = "Tip";
inline constexpr int kProjectListSize = 16;
// The NetWare client library loaded when Options NetWareClient names none.
inline constexpr const char* kDefaultNetWareClient = "libkorvane-netware-client.so.1";

struct InstallPaths {
    std::string folder;          // ends with "/"
    std::string settings_path;   // folder + "Korvane.ini"
    std::string event_log_path;  // folder + "Event.log"
};

// $KORVANE_HOME, else $XDG_DATA_HOME/korvane, else ~/.local/share/korvane;
// none when no home can be found.
std::optional<std::string> InstallFolder();
InstallPaths InstallPathsOf(const std::string& folder);

// Creates the folder and, when missing, a default Korvane.ini whose Database
// is Korvane.db in that folder. fresh tells whether Korvane.ini was created.
bool PrepareInstallFolder(const InstallPaths& paths, bool& fresh);

struct ProgramOptions {
    std::string database;     // Options Database, 260
    long display_sql = 0;     // Options DisplaySQL
    long graph_items = 25;    // Options GraphItems
    // Options NetWareClient, 260: the NetWare client library, a name on the
    // library path or a path.
    std::string netware_client = kDefaultNetWareClient;
    std::string smtp_server;  // Email SMTPServer, 1024
    std::string sender_name;  // Email Name, 1024
    std::string email_address;  // Email EmailAddress, 1024
};

ProgramOptions ReadProgramOptions(const std::string& settings_path);
// What the Options dialog's OK writes: Database, the three Email values,
// DisplaySQL, and GraphItems only when it is not 0.
bool WriteProgramOptions(const std::string& settings_path, const ProgramOptions& options);

// The documents open at the last exit, up to the first empty FileN value.
std::vector<std::string> ReadProjectList(const std::string& settings_path);

struct OpenDocumentInfo {
    std::string path;  // empty for a document never saved
};
// Writes the saved documents first as File1, File2, ..., considering at most
// 16 documents, then an empty value for each place left. A document whose
// file cannot be opened for reading is passed over.
bool SaveProjectList(const std::string& settings_path, const std::vector<OpenDocumentInfo>& documents);

std::string ReadSelectedDrive(const std::string& settings_path);
bool WriteSelectedVolume(const std::string& settings_path, const std::string& selected_drive,
                         const std::string& scan_date_time);

}  // namespace korvane
