// The User Volumes table: volumes added by hand (a folder on a share, a
// mounted path, an FTP site) that every build leaves in place. A volume list
// names one as "uv: " followed by its UV ID.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

class Catalogue;

struct UserVolumeRecord {
    std::string location;
    std::string user_name;
    std::string password;
    std::int32_t uv_id = 0;
    std::int32_t flags = 0;  // bit 0: passive FTP transfers
    std::int32_t port = 0;   // 0 when none was given
};

inline constexpr std::int32_t kPassiveTransfers = 0x1;

bool OpenUserVolumes(Catalogue& catalogue);
bool CloseUserVolumes(Catalogue& catalogue);
// Adds a row; the UV ID the catalogue gives it is read back into the record.
// UserName and Password are set only when not empty.
bool AddUserVolume(Catalogue& catalogue, UserVolumeRecord& record);
// Positions the table on the row with that UV ID.
bool SeekUserVolume(Catalogue& catalogue, std::int32_t uv_id);
// Reads the current row into a zeroed record (null fields stay empty or 0).
bool ReadUserVolume(Catalogue& catalogue, UserVolumeRecord& record);
bool FirstUserVolume(Catalogue& catalogue, UserVolumeRecord& record);
bool NextUserVolume(Catalogue& catalogue, UserVolumeRecord& record);
bool DeleteUserVolume(Catalogue& catalogue, std::int32_t uv_id);

inline constexpr std::string_view kFtpPrefix = "ftp:";
inline constexpr std::string_view kUserVolumePrefix = "uv: ";

// The text starts with "ftp:".
bool IsFtpLocation(std::string_view text);
// The text starts with "uv: " (with the blank).
bool IsUserVolumeToken(std::string_view text);
// The decimal number after "uv: " (its leading digits; 0 when there are none
// or the number does not fit).
std::int32_t UserVolumeNumber(std::string_view token);
// "uv: 7" for UV ID 7.
std::string UserVolumeToken(std::int32_t uv_id);

}  // namespace korvane
