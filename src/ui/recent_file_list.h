// The recently used documents of the File menu, kept in Korvane.ini's
// section "Recent File List" as File1 (the latest) to File4.
#pragma once

#include <string>
#include <vector>

namespace korvane {

inline constexpr const char* kRecentFileSection = "Recent File List";
inline constexpr int kRecentFileCount = 4;

class RecentFileList {
  public:
    explicit RecentFileList(std::string settings_path);

    // Reads the list from Korvane.ini, up to the first empty entry.
    void Load();
    // Puts the path first (moving it when it is already listed) and writes the list.
    void Add(const std::string& path);
    // Takes the path out (a document that could no longer be opened) and writes the list.
    void Remove(const std::string& path);
    const std::vector<std::string>& Files() const { return files_; }

  private:
    bool Save() const;

    std::string settings_path_;
    std::vector<std::string> files_;
};

}  // namespace korvane
