// The SQL texts set into the stored queries "FetchVolume", "FetchFolder" and
// "FetchFile", filled in. A text value placed between double quotes has every
// double quote doubled, so no root or file name can change the statement's
// shape.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// value between double quotes, each " inside doubled: a"b -> "a""b".
std::string JetTextLiteral(std::string_view value);

std::string FetchVolumeByIdSql(std::int32_t volume_id);
std::string FetchVolumeByRootSql(std::string_view root);
std::string FetchFolderByIdSql(std::int32_t folder_id);
// The identifier of the file with that name in that folder.
std::string FetchFileIdSql(std::int32_t parent_id, std::string_view name);
std::string FetchFileByNameSql(std::string_view name, std::int32_t parent_id);
std::string FetchFileByIdSql(std::int32_t file_id);

}  // namespace korvane
