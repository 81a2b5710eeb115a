// The definition of a query: which catalogue fields its answer shows, the
// criteria on them, the starting folder, sort order and row limits, and the
// shape check that decides whether it can run and in which form.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

// Role bits of the query fields.
inline constexpr std::uint32_t kRoleName = 0x4000;
inline constexpr std::uint32_t kRoleSize = 0x8000;
inline constexpr std::uint32_t kRoleType = 0x0400;
inline constexpr std::uint32_t kRoleOwner = 0x0800;

enum class QueryTable { Computer = 0, Volume = 1, Folder = 2, File = 3 };

// Rows of the query field table that the shape check and the SQL builder name.
inline constexpr int kQueryFieldCount = 35;
inline constexpr int kFirstFolderRow = 12;
inline constexpr int kFolderParentIdRow = 21;
inline constexpr int kFolderAttributesRow = 22;
inline constexpr int kFolderIdRow = 23;
inline constexpr int kFirstFileRow = 24;
inline constexpr int kFileTypeRow = 26;
inline constexpr int kFileOwnerRow = 31;
inline constexpr int kFileParentIdRow = 32;
inline constexpr int kFileAttributesRow = 33;
inline constexpr int kFileIdRow = 34;

struct QueryField {
    bool in_query = false;
    std::uint32_t role_bits = 0;
    bool criteria_allowed = false;
    QueryTable table = QueryTable::Computer;
    std::string table_name;
    std::string field_name;
    std::string type_name;  // "Text", "Number", "Size" or "Date/Time"
    std::string value_text;
};

struct QueryProfile {
    // A fresh profile: every field out of the query, all volumes as the
    // starting folder, sorted by "Size" ascending, no limits.
    QueryProfile();

    std::string database_path;
    std::array<QueryField, kQueryFieldCount> fields;
    std::string initial_folder;
    std::string query_name;
    std::string sql_text;
    std::string description;
    std::string sort_column;
    std::string sort_direction;  // "" or "DESC"
    std::string duplicates;      // "NAME,", "SIZE,", "MDATE," joined in that order, or empty
    std::int32_t initial_folder_id = 0;
    std::uint32_t crosstab_bits = 0;
    bool runnable = false;
    bool include_subfolders = false;
    std::int32_t folder_threshold = 0;
    std::int32_t file_threshold = 0;
};

// First row whose table and field names both match exactly, or -1.
int FindQueryField(const QueryProfile& profile, std::string_view table_name, std::string_view field_name);

// Decides whether the selection can run and whether it is a detail query or
// a crosstab (sizes summed per owner or type). Adds the identifier, parent
// and attribute fields a detail answer needs, sets crosstab_bits and
// runnable, and resets a sort column that names no field of the query to
// "Size". Returns the runnable flag.
bool CheckQueryShape(QueryProfile& profile);

// True when any of the 35 rows is in the query.
bool AnyFieldInQuery(const QueryProfile& profile);

// The name of a query or result: its file name without folder, cut at the
// first ".". Folders are separated by "/" (a "\" is part of a Linux name).
std::string DocumentNameOfPath(std::string_view path);

}  // namespace korvane
