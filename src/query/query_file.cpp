#include "query/query_file.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <fstream>
#include <vector>

#include "app/bounded_file.h"
#include "app/document_settings.h"
#include "app/profile_file.h"
#include "app/text_helpers.h"

namespace korvane {
namespace {

constexpr const char* kOptionsSection = "Query Options";
constexpr const char* kQuerySection = "Query";
constexpr std::size_t kWhole = 0;  // read texts without a length limit

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',';
}
bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

void SetError(std::string* error, std::string text) {
    if (error)
        *error = std::move(text);
}

std::int32_t ToThreshold(long value) {
    if (value < 0)
        return 0;
    if (value > INT32_MAX)
        return INT32_MAX;
    return static_cast<std::int32_t>(value);
}

// One past the highest n of the "QueryLine[n]" keys present, so that a Lines
// count larger than the lines written does not read millions of missing keys.
long QueryLineLimit(const std::string& path) {
    ProfileDocument document;
    if (!document.Load(path))
        return 0;
    long limit = 0;
    for (const std::string& key : document.KeysOf(kQuerySection)) {
        if (!StartsWithNoCase(key, "QueryLine[") || key.back() != ']')
            continue;
        long index = -1;
        const char* first = key.data() + 10;
        const char* last = key.data() + key.size() - 1;
        const auto parsed = std::from_chars(first, last, index);
        if (parsed.ptr != last || parsed.ec != std::errc() || index < 0)
            continue;
        if (index + 1 > limit)
            limit = index + 1;
    }
    return limit;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

}  // namespace

std::size_t ValueTextStart(std::string_view line) {
    // The same token rules as SplitTokens, keeping positions.
    std::size_t pos = 0;
    std::size_t index = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsSeparator(line[pos]))
            ++pos;
        if (pos >= line.size() || IsLineEnd(line[pos]))
            break;
        const std::size_t start = pos;
        if (line[pos] == '"') {
            ++pos;
            while (pos < line.size() && line[pos] != '"' && !IsLineEnd(line[pos]))
                ++pos;
            if (pos < line.size() && line[pos] == '"')
                ++pos;
        } else {
            while (pos < line.size() && !IsSeparator(line[pos]) && !IsLineEnd(line[pos]) && line[pos] != '=')
                ++pos;
            const bool empty = pos == start;
            if (pos < line.size() && line[pos] == '=')
                ++pos;
            if (empty)
                continue;
        }
        if (index == 2)
            return start;
        ++index;
    }
    return std::string_view::npos;
}

std::string CriteriaLineOf(const QueryField& field) {
    std::string line = " \"" + field.table_name + "\", \"" + field.field_name + "\",";
    if (!field.value_text.empty())
        line += " " + field.value_text + ", ";
    return line;
}

bool ReadQueryFile(QueryProfile& profile, const std::string& path, FolderTree& folders, bool interactive,
                   std::string* error) {
    if (!IsBoundedRegularFile(path)) {
        SetError(error, "The query file " + path + " cannot be read.");
        return false;
    }
    DocumentSettings settings;
    settings.SelectFile(path);

    settings.SelectSection(kOptionsSection);
    profile.database_path = settings.ReadText("Database", "", kWhole);
    profile.query_name = DocumentNameOfPath(path);
    profile.duplicates = settings.ReadText("Duplicates", "", kWhole);
    profile.include_subfolders = settings.ReadInt("IncludeSubFolders") != 0;
    profile.file_threshold = ToThreshold(settings.ReadInt("FileThreshold"));
    profile.folder_threshold = ToThreshold(settings.ReadInt("FolderThreshold"));
    profile.sort_column = settings.ReadText("SortColumn", "", kWhole);
    if (profile.sort_column.empty())
        profile.sort_column = "Size";
    profile.sort_direction = settings.ReadText("Descending", "", kWhole);

    settings.SelectSection(kQuerySection);
    profile.description = settings.ReadText("Description", "", kWhole);
    profile.initial_folder = settings.ReadText("Initial Folder", "", kWhole);
    if (profile.initial_folder.empty()) {
        if (!interactive) {
            SetError(error, "The query file " + path + " names no initial folder.");
            return false;
        }
        profile.initial_folder = std::string(kFolderTreeRootName);
    }
    if (EqualsNoCase(profile.initial_folder, kFolderTreeRootName)) {
        profile.initial_folder_id = 0;
    } else {
        profile.initial_folder_id = folders.FolderIdOfPath(profile.initial_folder);
        if (profile.initial_folder_id == 0 && !interactive) {
            SetError(error, "Initial query folder " + profile.initial_folder + " not found in database.");
            return false;
        }
    }

    const long lines = std::min(settings.ReadInt("Lines"), QueryLineLimit(path));
    for (long i = 0; i < lines; ++i) {
        const std::string line = settings.ReadText("QueryLine[" + std::to_string(i) + "]", "", kWhole);
        const std::vector<std::string> tokens = SplitTokens(line, 3);
        if (tokens.size() < 2)
            continue;
        const int row = FindQueryField(profile, tokens[0], tokens[1]);
        if (row < 0)
            continue;
        QueryField& field = profile.fields[row];
        field.in_query = true;
        const std::size_t value_start = ValueTextStart(line);
        if (value_start != std::string_view::npos)
            field.value_text = line.substr(value_start);
    }
    return true;
}

bool WriteQueryFile(const QueryProfile& profile, const std::string& path, std::string* error) {
    std::vector<const QueryField*> written;
    for (const QueryField& field : profile.fields) {
        if (field.in_query && field.criteria_allowed)
            written.push_back(&field);
    }
    bool line_break = HasLineBreak(profile.database_path) || HasLineBreak(profile.duplicates) ||
                      HasLineBreak(profile.sort_column) || HasLineBreak(profile.sort_direction) ||
                      HasLineBreak(profile.description) || HasLineBreak(profile.initial_folder);
    for (const QueryField* field : written)
        line_break = line_break || HasLineBreak(field->value_text);
    if (line_break) {
        SetError(error, "A text of the query holds a line break and cannot be saved.");
        return false;
    }

    DocumentSettings settings;
    settings.SelectFile(path);
    settings.BeginBatch();
    bool ok = settings.BeginSection(kOptionsSection);
    ok = ok && settings.WriteText("Database", profile.database_path);
    ok = ok && settings.WriteInt("IncludeSubFolders", profile.include_subfolders ? 1 : 0);
    ok = ok && settings.WriteText("Duplicates", profile.duplicates);
    ok = ok && settings.WriteInt("FileThreshold", profile.file_threshold);
    ok = ok && settings.WriteInt("FolderThreshold", profile.folder_threshold);
    ok = ok && settings.WriteText("SortColumn", profile.sort_column);
    ok = ok && settings.WriteText("Descending", profile.sort_direction);
    ok = ok && settings.BeginSection(kQuerySection);
    ok = ok && settings.WriteText("Description", profile.description);
    ok = ok && settings.WriteText("Initial Folder", profile.initial_folder);
    ok = ok && settings.WriteInt("Lines", static_cast<long>(written.size()));
    for (std::size_t i = 0; ok && i < written.size(); ++i) {
        ok = settings.WriteText("QueryLine[" + std::to_string(i) + "]", CriteriaLineOf(*written[i]));
    }
    // Nothing reaches the disk unless every part was prepared.
    ok = ok && settings.Commit();
    if (!ok)
        SetError(error, "The query file " + path + " cannot be written.");
    return ok;
}

}  // namespace korvane
