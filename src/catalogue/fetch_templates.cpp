#include "catalogue/fetch_templates.h"

namespace korvane {

namespace {

constexpr std::string_view kVolumeColumns =
    "SELECT Volume.[Volume ID], Volume.[Folder ID], Volume.Root, Volume.Name, Volume.Owner, Volume.Type, "
    "Volume.Format, Volume.Folders, Volume.Files, Volume.Free, Volume.VolType, Volume.[Serial Number], "
    "Volume.UserName, Volume.Password, Volume.Flags\r\nFROM Volume\r\n";

constexpr std::string_view kFileColumns =
    "SELECT File.[File ID], File.Name, File.Size, File.Compressed, File.[Create Date], File.[Modify Date], "
    "File.[Access Date], File.Owner, File.Attributes, File.[Parent ID]\r\nFROM File\r\n";

}  // namespace

std::string JetTextLiteral(std::string_view value) {
    std::string literal = "\"";
    for (char c : value) {
        if (c == '"') {
            literal += '"';
        }
        literal += c;
    }
    literal += '"';
    return literal;
}

std::string FetchVolumeByIdSql(std::int32_t volume_id) {
    return std::string(kVolumeColumns) + "WHERE (Volume.[Volume ID]=" + std::to_string(volume_id) + ");";
}

std::string FetchVolumeByRootSql(std::string_view root) {
    return std::string(kVolumeColumns) + "WHERE (((Volume.Root)=" + JetTextLiteral(root) + "));";
}

std::string FetchFolderByIdSql(std::int32_t folder_id) {
    return "SELECT Folder.[Folder ID], Folder.Name, Folder.Size, Folder.Owner, Folder.Folders, "
           "Folder.[Attributes], Folder.[Parent ID]\r\nFROM Folder\r\nWHERE (Folder.[Folder ID]=" +
           std::to_string(folder_id) + ");";
}

std::string FetchFileIdSql(std::int32_t parent_id, std::string_view name) {
    return "SELECT File.[File ID]\r\nFROM File\r\nWHERE (File.[Parent ID]=" + std::to_string(parent_id) +
           ") and (File.Name=" + JetTextLiteral(name) + ");";
}

std::string FetchFileByNameSql(std::string_view name, std::int32_t parent_id) {
    return std::string(kFileColumns) + "WHERE (File.Name=" + JetTextLiteral(name) +
           ") and (File.[Parent ID]=" + std::to_string(parent_id) + ");";
}

std::string FetchFileByIdSql(std::int32_t file_id) {
    return std::string(kFileColumns) + "WHERE (File.[File ID]=" + std::to_string(file_id) + ");";
}

}  // namespace korvane
