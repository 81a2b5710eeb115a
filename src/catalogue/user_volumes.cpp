#include "catalogue/user_volumes.h"

#include <charconv>

#include "catalogue/catalogue.h"

namespace korvane {

bool OpenUserVolumes(Catalogue& catalogue) {
    if (!catalogue.IsOpen()) {
        return false;
    }
    if (catalogue.user_volumes_table().IsOpen()) {
        return true;
    }
    return catalogue.user_volumes_table().Open(catalogue.connection());
}

bool CloseUserVolumes(Catalogue& catalogue) {
    TableCursor& table = catalogue.user_volumes_table();
    if (!table.IsOpen()) {
        return false;
    }
    table.Close();
    return true;
}

bool AddUserVolume(Catalogue& catalogue, UserVolumeRecord& record) {
    TableCursor& table = catalogue.user_volumes_table();
    if (!table.AddNew()) {
        return false;
    }
    table.SetText("Location", record.location);
    if (!record.user_name.empty()) {
        table.SetText("UserName", record.user_name);
    }
    if (!record.password.empty()) {
        table.SetText("Password", record.password);
    }
    table.SetInt("Flags", record.flags);
    table.SetInt("Port", record.port);
    if (!table.Update()) {
        return false;
    }
    record.uv_id = SaturateToInt32(table.last_added_id());
    return true;
}

bool SeekUserVolume(Catalogue& catalogue, std::int32_t uv_id) {
    TableCursor& table = catalogue.user_volumes_table();
    return table.SetCurrentIndex(kPrimaryKeyIndex) && table.Seek(uv_id);
}

bool ReadUserVolume(Catalogue& catalogue, UserVolumeRecord& record) {
    record = UserVolumeRecord{};
    TableCursor& table = catalogue.user_volumes_table();
    if (!table.IsOpen() || table.IsEOF()) {
        return false;
    }
    table.GetText("Location", record.location);
    table.GetText("UserName", record.user_name);
    table.GetText("Password", record.password);
    table.GetInt("UV ID", record.uv_id);
    table.GetInt("Flags", record.flags);
    table.GetInt("Port", record.port);
    return true;
}

bool FirstUserVolume(Catalogue& catalogue, UserVolumeRecord& record) {
    return catalogue.user_volumes_table().MoveFirst() && ReadUserVolume(catalogue, record);
}

bool NextUserVolume(Catalogue& catalogue, UserVolumeRecord& record) {
    return catalogue.user_volumes_table().MoveNext() && ReadUserVolume(catalogue, record);
}

bool DeleteUserVolume(Catalogue& catalogue, std::int32_t uv_id) {
    return SeekUserVolume(catalogue, uv_id) && catalogue.user_volumes_table().Delete();
}

bool IsFtpLocation(std::string_view text) {
    return text.substr(0, kFtpPrefix.size()) == kFtpPrefix;
}

bool IsUserVolumeToken(std::string_view text) {
    return text.substr(0, kUserVolumePrefix.size()) == kUserVolumePrefix;
}

std::int32_t UserVolumeNumber(std::string_view token) {
    if (!IsUserVolumeToken(token)) {
        return 0;
    }
    std::string_view digits = token.substr(kUserVolumePrefix.size());
    std::int32_t number = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    (void)end;
    return ec == std::errc() ? number : 0;
}

std::string UserVolumeToken(std::int32_t uv_id) {
    return std::string(kUserVolumePrefix) + std::to_string(uv_id);
}

}  // namespace korvane
