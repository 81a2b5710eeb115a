#include "ui/recent_file_list.h"

#include <algorithm>

#include "app/profile_file.h"

namespace korvane {

RecentFileList::RecentFileList(std::string settings_path) : settings_path_(std::move(settings_path)) {}

void RecentFileList::Load() {
    ProfileDocument settings;
    settings.Load(settings_path_);
    files_.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        std::string value = settings.Get(kRecentFileSection, "File" + std::to_string(i));
        if (value.empty())
            break;
        files_.push_back(std::move(value));
    }
}

void RecentFileList::Add(const std::string& path) {
    if (path.empty())
        return;
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
    files_.insert(files_.begin(), path);
    if (files_.size() > static_cast<std::size_t>(kRecentFileCount))
        files_.resize(kRecentFileCount);
    Save();
}

void RecentFileList::Remove(const std::string& path) {
    const auto old_size = files_.size();
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
    if (files_.size() != old_size)
        Save();
}

bool RecentFileList::Save() const {
    ProfileDocument settings;
    if (!settings.Load(settings_path_))
        return false;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const std::string key = "File" + std::to_string(i);
        if (i <= static_cast<int>(files_.size())) {
            settings.Set(kRecentFileSection, key, files_[i - 1]);
        } else {
            settings.RemoveKey(kRecentFileSection, key);
        }
    }
    return settings.Save(settings_path_);
}

}  // namespace korvane
