#include "query/query_profile.h"

#include "catalogue/folder_tree.h"

namespace korvane {
namespace {

struct FieldRow {
    QueryTable table;
    const char* table_name;
    const char* field_name;
    const char* type_name;
    std::uint32_t role_bits;
    bool criteria_allowed;
};

constexpr FieldRow kFieldTable[kQueryFieldCount] = {
    {QueryTable::Computer, "Computer", "Computer ID", "Number", 0, false},
    {QueryTable::Computer, "Computer", "Name", "Text", 0, false},
    {QueryTable::Volume, "Volume", "Volume ID", "Number", 0, false},
    {QueryTable::Volume, "Volume", "Name", "Text", 0, false},
    {QueryTable::Volume, "Volume", "Free", "Size", 0, false},
    {QueryTable::Volume, "Volume", "Type", "Text", 0, false},
    {QueryTable::Volume, "Volume", "Serial Number", "Text", 0, false},
    {QueryTable::Volume, "Volume", "Format", "Text", 0, false},
    {QueryTable::Volume, "Volume", "Size", "Size", 0, false},
    {QueryTable::Volume, "Volume", "Used", "Size", 0, false},
    {QueryTable::Volume, "Volume", "Files", "Number", 0, false},
    {QueryTable::Volume, "Volume", "Folders", "Number", 0, false},
    {QueryTable::Folder, "Folder", "Name", "Text", kRoleName, true},
    {QueryTable::Folder, "Folder", "Size", "Size", kRoleSize, true},
    {QueryTable::Folder, "Folder", "Level", "Number", 0, true},
    {QueryTable::Folder, "Folder", "Folders", "Number", 0, true},
    {QueryTable::Folder, "Folder", "Files", "Number", 0, true},
    {QueryTable::Folder, "Folder", "Create Date", "Date/Time", 0, true},
    {QueryTable::Folder, "Folder", "Modify Date", "Date/Time", 0, true},
    {QueryTable::Folder, "Folder", "Access Date", "Date/Time", 0, true},
    {QueryTable::Folder, "Folder", "Owner", "Text", 0, true},
    {QueryTable::Folder, "Folder", "Parent ID", "Number", 0, false},
    {QueryTable::Folder, "Folder", "Attributes", "Number", 0, false},
    {QueryTable::Folder, "Folder", "Folder ID", "Number", 0, false},
    {QueryTable::File, "File", "Name", "Text", kRoleName, true},
    {QueryTable::File, "File", "Size", "Size", kRoleSize, true},
    {QueryTable::File, "File", "Type", "Text", kRoleType, true},
    {QueryTable::File, "File", "Create Date", "Date/Time", 0, true},
    {QueryTable::File, "File", "Modify Date", "Date/Time", 0, true},
    {QueryTable::File, "File", "Access Date", "Date/Time", 0, true},
    {QueryTable::File, "File", "Compressed", "Size", kRoleSize, true},
    {QueryTable::File, "File", "Owner", "Text", kRoleOwner, true},
    {QueryTable::File, "File", "Parent ID", "Number", 0, false},
    {QueryTable::File, "File", "Attributes", "Number", 0, false},
    {QueryTable::File, "File", "File ID", "Number", 0, false},
};

// Counts the rows first..last that are in the query and ORs their role bits.
int CountSide(const QueryProfile& profile, int first, int last, std::uint32_t& bits) {
    int count = 0;
    bits = 0;
    for (int row = first; row <= last; ++row) {
        if (!profile.fields[row].in_query)
            continue;
        ++count;
        bits |= profile.fields[row].role_bits;
    }
    return count;
}

bool HasBoth(std::uint32_t bits, std::uint32_t a, std::uint32_t b) {
    return (bits & a) && (bits & b);
}

}  // namespace

QueryProfile::QueryProfile() : initial_folder(kFolderTreeRootName), sort_column("Size") {
    for (int row = 0; row < kQueryFieldCount; ++row) {
        const FieldRow& source = kFieldTable[row];
        QueryField& field = fields[row];
        field.role_bits = source.role_bits;
        field.criteria_allowed = source.criteria_allowed;
        field.table = source.table;
        field.table_name = source.table_name;
        field.field_name = source.field_name;
        field.type_name = source.type_name;
    }
}

int FindQueryField(const QueryProfile& profile, std::string_view table_name, std::string_view field_name) {
    for (int row = 0; row < kQueryFieldCount; ++row) {
        const QueryField& field = profile.fields[row];
        if (field.table_name == table_name && field.field_name == field_name)
            return row;
    }
    return -1;
}

bool CheckQueryShape(QueryProfile& profile) {
    auto& fields = profile.fields;
    std::uint32_t folder_bits = 0;
    std::uint32_t file_bits = 0;
    const int folder_count = CountSide(profile, kFirstFolderRow, kFolderParentIdRow, folder_bits);
    const int file_count = CountSide(profile, kFirstFileRow, kFileParentIdRow, file_bits);

    profile.crosstab_bits = 0;
    profile.runnable = false;
    if (folder_count < 2 && file_count < 2)
        return false;

    fields[kFolderAttributesRow].in_query = false;
    fields[kFileAttributesRow].in_query = false;

    if (file_count > 0 && folder_count == 0 && (file_bits & kRoleSize) &&
        (file_bits & (kRoleType | kRoleOwner)) && !(file_bits & kRoleName)) {
        profile.crosstab_bits = file_bits;
        profile.runnable = true;
        return true;
    }

    fields[kFolderIdRow].in_query = false;
    fields[kFileIdRow].in_query = false;
    fields[kFileParentIdRow].in_query = false;
    fields[kFolderParentIdRow].in_query = false;

    if (folder_count > 0) {
        fields[kFolderIdRow].in_query = true;
        fields[kFolderAttributesRow].in_query = true;
        if (!HasBoth(folder_bits, kRoleSize, kRoleName))
            return false;
        if (profile.include_subfolders)
            fields[kFolderParentIdRow].in_query = true;
    }
    if (file_count > 0) {
        fields[kFileAttributesRow].in_query = true;
        if (!HasBoth(file_bits, kRoleSize, kRoleName))
            return false;
        if (profile.include_subfolders)
            fields[kFileParentIdRow].in_query = true;
    }

    // A sort column must name a column of the answer, or the statement
    // cannot be ordered by it. A name both tables have (Name, Size, ...)
    // counts when either side supplies it, so a folder-only query can be
    // sorted by Name too.
    const int file_row = FindQueryField(profile, "File", profile.sort_column);
    const int folder_row = FindQueryField(profile, "Folder", profile.sort_column);
    const bool sortable =
        (file_row >= 0 && fields[file_row].in_query) || (folder_row >= 0 && fields[folder_row].in_query);
    if (!sortable)
        profile.sort_column = "Size";

    profile.runnable = true;
    return true;
}

bool AnyFieldInQuery(const QueryProfile& profile) {
    for (const QueryField& field : profile.fields) {
        if (field.in_query)
            return true;
    }
    return false;
}

std::string DocumentNameOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find('.');
    if (dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

}  // namespace korvane
