#include "app/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/profile_file.h"

namespace korvane {
namespace {

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder.push_back('/');
    return folder;
}

bool ReadableFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace

std::optional<std::string> InstallFolder() {
    if (const char* home = std::getenv("KORVANE_HOME"); home != nullptr && *home != '\0') return WithSlash(home);
    if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data == '/') {
        return WithSlash(std::string(data) + "/korvane");
    }
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return WithSlash(std::string(home) + "/.local/share/korvane");
    }
    return std::nullopt;
}

InstallPaths InstallPathsOf(const std::string& folder) {
    const std::string base = WithSlash(folder);
    return {base, base + "Korvane.ini", base + "Event.log"};
}

bool PrepareInstallFolder(const InstallPaths& paths, bool& fresh) {
    fresh = false;
    std::error_code error;
    std::filesystem::create_directories(paths.folder, error);
    if (!std::filesystem::is_directory(paths.folder, error)) return false;
    if (std::filesystem::exists(paths.settings_path, error)) return true;
    ProfileDocument settings;
    settings.Set(kOptionsSection, "Database", paths.folder + "Korvane.db");
    settings.Set(kOptionsSection, "DisplaySQL", "0");
    settings.Set(kOptionsSection, "GraphItems", "25");
    settings.Set(kTipSection, "StartUp", "1");
    if (!settings.Save(paths.settings_path)) return false;
    fresh = true;
    return true;
}

ProgramOptions ReadProgramOptions(const std::string& settings_path) {
    ProfileDocument settings;
    settings.Load(settings_path);
    auto text = [&](const char* section, const char* key, std::size_t size) {
        std::string value = settings.Get(section, key);
        if (value.size() > size - 1) value.resize(size - 1);
        return value;
    };
    ProgramOptions options;
    options.database = text(kOptionsSection, "Database", 260);
    options.display_sql = settings.GetInt(kOptionsSection, "DisplaySQL", 0);
    options.graph_items = settings.GetInt(kOptionsSection, "GraphItems", 25);
    if (std::string client = text(kOptionsSection, "NetWareClient", 260); !client.empty())
        options.netware_client = std::move(client);
    options.smtp_server = text(kEmailSection, "SMTPServer", 1024);
    options.sender_name = text(kEmailSection, "Name", 1024);
    options.email_address = text(kEmailSection, "EmailAddress", 1024);
    return options;
}

bool WriteProgramOptions(const std::string& settings_path, const ProgramOptions& options) {
    ProfileDocument settings;
    if (!settings.Load(settings_path)) return false;
    settings.Set(kOptionsSection, "Database", options.database);
    settings.Set(kEmailSection, "SMTPServer", options.smtp_server);
    settings.Set(kEmailSection, "Name", options.sender_name);
    settings.Set(kEmailSection, "EmailAddress", options.email_address);
    settings.Set(kOptionsSection, "DisplaySQL", std::to_string(options.display_sql));
    if (options.graph_items != 0) settings.Set(kOptionsSection, "GraphItems", std::to_string(options.graph_items));
    return settings.Save(settings_path);
}

std::vector<std::string> ReadProjectList(const std::string& settings_path) {
    ProfileDocument settings;
    settings.Load(settings_path);
    std::vector<std::string> files;
    for (int i = 1;; ++i) {
        std::string value = settings.Get(kCurrentProjectSection, "File" + std::to_string(i));
        if (value.empty()) break;
        if (value.size() > 259) value.resize(259);
        files.push_back(std::move(value));
    }
    return files;
}

bool SaveProjectList(const std::string& settings_path, const std::vector<OpenDocumentInfo>& documents) {
    ProfileDocument settings;
    if (!settings.Load(settings_path)) return false;
    int written = 1;
    int considered = 0;
    for (const auto& document : documents) {
        if (considered >= kProjectListSize) break;
        ++considered;
        if (document.path.empty() || !ReadableFile(document.path)) continue;
        settings.Set(kCurrentProjectSection, "File" + std::to_string(written++), document.path);
    }
    for (int left = kProjectListSize - considered; left > 0; --left) {
        settings.Set(kCurrentProjectSection, "File" + std::to_string(written++), "");
    }
    return settings.Save(settings_path);
}

std::string ReadSelectedDrive(const std::string& settings_path) {
    return ReadProfileString(settings_path, kSelectedVolumeSection, "Selected Drive", "", 255);
}

bool WriteSelectedVolume(const std::string& settings_path, const std::string& selected_drive,
                         const std::string& scan_date_time) {
    ProfileDocument settings;
    if (!settings.Load(settings_path)) return false;
    settings.Set(kSelectedVolumeSection, "Selected Drive", selected_drive);
    settings.Set(kSelectedVolumeSection, "ScanDateTime", scan_date_time);
    return settings.Save(settings_path);
}

}  // namespace korvane
