#include "query/query_editing.h"

#include <charconv>
#include <climits>

#include "app/text_helpers.h"

namespace korvane {
namespace {

std::vector<int> OfferedRows(const QueryProfile& profile, bool in_query) {
    std::vector<int> rows;
    for (int row = 0; row < kQueryFieldCount; ++row) {
        const QueryField& field = profile.fields[row];
        if (field.criteria_allowed && field.in_query == in_query)
            rows.push_back(row);
    }
    return rows;
}

}  // namespace

std::vector<int> FieldListRows(const QueryProfile& profile) {
    return OfferedRows(profile, false);
}

std::vector<int> CriteriaListRows(const QueryProfile& profile) {
    return OfferedRows(profile, true);
}

std::string FieldTitle(const QueryField& field) {
    return field.table_name + " " + field.field_name;
}

bool SetFieldInQuery(QueryProfile& profile, int row, bool in_query) {
    if (row < 0 || row >= kQueryFieldCount || !profile.fields[row].criteria_allowed)
        return false;
    profile.fields[row].in_query = in_query;
    CheckQueryShape(profile);
    return true;
}

bool ToggleIncludeSubfolders(QueryProfile& profile) {
    profile.include_subfolders = !profile.include_subfolders;
    return CheckQueryShape(profile);
}

DuplicateChoice DuplicateChoiceOf(std::string_view duplicates) {
    DuplicateChoice choice;
    choice.name = duplicates.find("NAME") != std::string_view::npos;
    choice.size = duplicates.find("SIZE") != std::string_view::npos;
    choice.modify_date = duplicates.find("MDATE") != std::string_view::npos;
    return choice;
}

std::string DuplicatesTextOf(const DuplicateChoice& choice) {
    std::string text;
    if (choice.name)
        text += "NAME,";
    if (choice.size)
        text += "SIZE,";
    if (choice.modify_date)
        text += "MDATE,";
    return text;
}

std::int32_t ThresholdOfText(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos < text.size() && text[pos] == '-')
        return 0;
    if (pos < text.size() && text[pos] == '+')
        ++pos;
    std::int64_t value = 0;
    const auto parsed = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (parsed.ec == std::errc::result_out_of_range || value > INT32_MAX)
        return INT32_MAX;
    if (parsed.ec != std::errc())
        return 0;
    return static_cast<std::int32_t>(value);
}

std::string StartingFolderOfNode(const FolderTree& folders, const FolderNode* node) {
    if (node == nullptr || node == folders.root())
        return std::string(kFolderTreeRootName);
    std::string path;
    folders.FolderPath(node, path);
    return path;
}

bool ResolveStartingFolder(QueryProfile& profile, FolderTree& folders) {
    if (EqualsNoCase(profile.initial_folder, kFolderTreeRootName)) {
        profile.initial_folder_id = 0;
        return true;
    }
    profile.initial_folder_id = folders.FolderIdOfPath(profile.initial_folder);
    if (profile.initial_folder_id != 0)
        return true;
    profile.include_subfolders = false;
    return false;
}

}  // namespace korvane
