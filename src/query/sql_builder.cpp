#include "query/sql_builder.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <vector>

#include "app/formatting.h"
#include "app/text_helpers.h"
#include "catalogue/schema.h"

namespace korvane {
namespace {

std::string Quoted(std::string_view value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

bool IsPattern(std::string_view value) {
    return value.find_first_of("*?") != std::string_view::npos;
}

// "[" and "#" would start a character list or stand for a digit; a DOS
// pattern means them literally.
std::string DosPattern(std::string_view value) {
    std::string out;
    for (char c : value) {
        if (c == '[') {
            out += "[[]";
        } else if (c == '#') {
            out += "[#]";
        } else {
            out += c;
        }
    }
    return out;
}

std::string FieldLabel(const QueryField& field) {
    return field.table_name + " " + field.field_name;
}

std::string Column(std::string_view table, std::string_view field) {
    return std::string(table) + ".[" + std::string(field) + "]";
}

std::string SqlDate(const CivilTime& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", date.month, date.day, date.year);
    return text;
}

CivilTime NextDay(const CivilTime& date) {
    return CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + 1);
}

// A list of values and ranges: value, or value "-" value, repeated. Tokens
// that start with "-" join a range.
bool IsRangeList(const std::vector<std::string>& values) {
    std::size_t i = 0;
    while (i < values.size()) {
        if (values[i].starts_with('-'))
            return false;
        if (i + 1 < values.size() && values[i + 1].starts_with('-')) {
            if (i + 2 >= values.size() || values[i + 2].starts_with('-'))
                return false;
            i += 3;
        } else {
            ++i;
        }
    }
    return true;
}

std::string TextCondition(const Criterion& criterion, const std::string& column) {
    const char* joiner = criterion.include ? "OR" : "AND";
    const char* equality = criterion.include ? "=" : "<>";
    const char* pattern = criterion.include ? "Like" : "Not Like";
    std::string out;
    for (std::size_t i = criterion.values.size(); i-- > 0;) {
        const std::string& value = criterion.values[i];
        const bool is_pattern = IsPattern(value);
        out += "((" + column + ")" + (is_pattern ? pattern : equality) +
               Quoted(is_pattern ? DosPattern(value) : value) + ")";
        if (i != 0)
            out += joiner;
    }
    return out;
}

std::string SizeCondition(const Criterion& criterion, const std::string& column) {
    const std::string prefix = criterion.include ? " " : "Not";
    const char* joiner = criterion.include ? "Or" : "And";
    const std::vector<std::string>& v = criterion.values;
    std::string out;
    for (std::size_t j = 0; j < v.size(); ++j) {
        std::string size;
        if (v[j].starts_with('-')) {
            ParseSize(v[j + 1], &size);
            out += "And ((" + column + ")<=" + size + ")))";
            ++j;
            if (j + 1 < v.size())
                out += joiner;
            continue;
        }
        ParseSize(v[j], &size);
        if (j + 1 < v.size() && v[j + 1].starts_with('-')) {
            out += "(" + prefix + "(((" + column + ")>=" + size + ") ";
        } else if (j + 1 < v.size()) {
            out += "(" + prefix + " ((" + column + ")<=" + size + " And (" + column + ")>=" + size + ")) " +
                   joiner + " ";
        } else {
            out += "(" + prefix + " ((" + column + ")<=" + size + " And (" + column + ")>=" + size + "))";
        }
    }
    return out;
}

bool DateListCondition(const Criterion& criterion, const std::string& column, const QueryField& field,
                       std::string& out, std::string& error) {
    const std::string prefix = criterion.include ? " " : "Not";
    const char* joiner = criterion.include ? "Or" : "And";
    const std::vector<std::string>& v = criterion.values;
    std::vector<CivilTime> dates(v.size());
    for (std::size_t j = 0; j < v.size(); ++j) {
        if (v[j].starts_with('-'))
            continue;
        const std::optional<CivilTime> date = ParseCriteriaDate(v[j]);
        if (!date) {
            error = "The date \"" + v[j] + "\" in the criterion of " + FieldLabel(field) +
                    " cannot be read. Dates are written month/day/year, for example 1/5/1998.";
            return false;
        }
        dates[j] = *date;
    }
    for (std::size_t j = 0; j < v.size(); ++j) {
        if (v[j].starts_with('-')) {
            out += "And ((" + column + ")<#" + SqlDate(NextDay(dates[j + 1])) + "#)))";
            ++j;
            if (j + 1 < v.size())
                out += joiner;
            continue;
        }
        const std::string date = SqlDate(dates[j]);
        const std::string next = SqlDate(NextDay(dates[j]));
        if (j + 1 < v.size() && v[j + 1].starts_with('-')) {
            out += "(" + prefix + "(((" + column + ")>=#" + date + "#) ";
        } else if (j + 1 < v.size()) {
            out += "(" + prefix + " ((" + column + ")>=#" + date + "# And";
            out += " (" + column + ")<#" + next + "#)) " + joiner + " ";
        } else {
            out += "(" + prefix + " ((" + column + ")>=#" + date + "# And";
            out += " (" + column + ")<#" + next + "#))";
        }
    }
    return true;
}

bool EzDateCondition(const Criterion& criterion, const std::string& column, const QueryField& field,
                     const CivilTime& run_time, std::string& out, std::string& error) {
    const std::vector<std::string>& v = criterion.values;
    std::uint64_t count = 0;
    const bool count_read =
        v.size() >= 3 && !v[1].empty() &&
        std::from_chars(v[1].data(), v[1].data() + v[1].size(), count).ptr == v[1].data() + v[1].size();
    if (!count_read) {
        error = "The criterion of " + FieldLabel(field) +
                " needs a count and a unit after \"Previous\", for example Previous 30 Days.";
        return false;
    }
    const std::string prefix = criterion.include ? " " : "Not";
    char now[48];
    std::snprintf(now, sizeof now, "%02d/%02d/%04d %02d:%02d:%02d", run_time.month, run_time.day,
                  run_time.year, run_time.hour, run_time.minute, run_time.second);
    const CivilTime boundary = EzDateBoundary(run_time, count, EzUnitOfWord(v[2]));
    char bound[48];
    std::snprintf(bound, sizeof bound, "%s %i:%i:%i", SqlDate(boundary).c_str(), boundary.hour,
                  boundary.minute, boundary.second);
    out += "(" + prefix + "(((" + column + ")<=#" + now + "#) ";
    out += "And ((" + column + ")>=#" + bound + "#)))";
    return true;
}

struct ResultColumn {
    std::string name;
    std::string filler;
};

std::string FillerOf(std::string_view type_name) {
    if (type_name == "Number")
        return "0";
    if (type_name == "Date/Time")
        return "#12/31/1899#";
    return "\"\"";
}

void AddColumn(std::vector<ResultColumn>& columns, const QueryField& field) {
    for (const ResultColumn& column : columns) {
        if (column.name == field.field_name)
            return;
    }
    columns.push_back({field.field_name, FillerOf(field.type_name)});
}

std::string Head(std::string_view select, std::int32_t threshold) {
    if (threshold > 0)
        return std::string(select) + " TOP " + std::to_string(threshold);
    return std::string(select);
}

std::string WhereClause(std::string_view table, bool include_subfolders, std::int32_t id,
                        std::int32_t count) {
    const std::string parent = std::string(table) + ".[Parent ID]";
    if (!include_subfolders)
        return "WHERE ((" + parent + ")=" + std::to_string(id) + ")";
    if (id == 0)
        return "WHERE (" + parent + ">0)";
    return "WHERE (((" + parent + ")>" + std::to_string(static_cast<std::int64_t>(id) - 1) + ")and((" +
           parent + ")<=" + std::to_string(static_cast<std::int64_t>(id) + count) + "))";
}

// One branch of a detail query: its select items, and the conditions of its
// fields (for the branch's own table and, for duplicates, for the twin).
struct Branch {
    std::string items;
    std::string conditions;
    std::string twin_conditions;
};

bool BuildBranch(const QueryProfile& profile, const std::vector<ResultColumn>& columns, int first, int last,
                 bool file_branch, const CivilTime& run_time, Branch& branch, std::string& error) {
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const ResultColumn& column = columns[c];
        const QueryField* found = nullptr;
        for (int row = first; row <= last; ++row) {
            const QueryField& field = profile.fields[row];
            if (field.in_query && field.field_name == column.name) {
                found = &field;
                break;
            }
        }
        if (c > 0)
            branch.items += ',';
        if (!found) {
            const std::string filler = file_branch && column.name == "Folder ID" ? "0" : column.filler;
            branch.items += filler + " AS [" + column.name + "]";
            continue;
        }
        branch.items += " " + Column(found->table_name, found->field_name) + " AS [" + column.name + "]";
        std::string condition;
        if (!BuildCondition(*found, run_time, condition, error))
            return false;
        if (condition.empty())
            continue;
        branch.conditions += " AND " + condition;
        if (file_branch) {
            std::string twin;
            if (!BuildCondition(*found, run_time, twin, error, "Twin"))
                return false;
            branch.twin_conditions += " AND " + twin;
        }
    }
    return true;
}

// Files that share the chosen properties with at least one other file of
// the same scope and criteria: the branch joins the groups of such files.
std::string DuplicatesJoin(const QueryProfile& profile, const std::string& twin_where) {
    struct Key {
        const char* word;
        const char* field;
    };
    static constexpr Key kKeys[] = {{"SIZE", "Size"}, {"NAME", "Name"}, {"MDATE", "Modify Date"}};
    std::string select, group, on;
    for (const Key& key : kKeys) {
        if (profile.duplicates.find(key.word) == std::string::npos)
            continue;
        const std::string twin = Column("Twin", key.field);
        const std::string alias = std::string("[Twin ") + key.field + "]";
        if (!select.empty()) {
            select += ", ";
            group += ", ";
            on += " And ";
        }
        select += twin + " AS " + alias;
        group += twin;
        on += "(" + Column("File", key.field) + "=Twins." + alias + ")";
    }
    if (select.empty())
        return {};
    return " INNER JOIN (SELECT " + select + " FROM File AS Twin " + twin_where + " GROUP BY " + group +
           " HAVING Count(*)>1) AS Twins ON " + on;
}

bool SafeSortColumn(std::string_view name) {
    for (char c : name) {
        if (c == ']' || c == '[' || static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return !name.empty();
}

std::string SortDirection(const QueryProfile& profile) {
    return EqualsNoCase(profile.sort_direction, "DESC") ? "DESC" : "";
}

bool DetailSql(QueryProfile& profile, std::int32_t descendant_count, const CivilTime& run_time,
               std::string& sql, std::string& error) {
    std::vector<ResultColumn> columns;
    int folder_count = 0;
    for (int row = kFirstFolderRow; row <= kFolderIdRow; ++row) {
        const QueryField& field = profile.fields[row];
        if (!field.in_query || (row == kFolderIdRow && folder_count == 0))
            continue;
        ++folder_count;
        AddColumn(columns, field);
    }
    int file_count = 0;
    for (int row = kFirstFileRow; row <= kFileIdRow; ++row) {
        const QueryField& field = profile.fields[row];
        if (!field.in_query)
            continue;
        ++file_count;
        AddColumn(columns, field);
    }
    if (folder_count > 0 && !profile.fields[kFolderIdRow].in_query) {
        profile.fields[kFolderIdRow].in_query = true;
        ++folder_count;
    }
    if (folder_count == 0 && file_count == 0)
        return false;
    if (!SafeSortColumn(profile.sort_column)) {
        error = "The sort column \"" + profile.sort_column + "\" is not a column of the query.";
        return false;
    }

    const std::int32_t id = profile.initial_folder_id;
    if (folder_count > 0) {
        Branch branch;
        if (!BuildBranch(profile, columns, kFirstFolderRow, kFolderIdRow, false, run_time, branch, error)) {
            return false;
        }
        sql += Head("SELECT", profile.folder_threshold) + branch.items + "\r\nFROM Folder\r\n" +
               WhereClause("Folder", profile.include_subfolders, id, descendant_count) + branch.conditions;
    }
    if (file_count > 0) {
        Branch branch;
        if (!BuildBranch(profile, columns, kFirstFileRow, kFileIdRow, true, run_time, branch, error))
            return false;
        sql +=
            Head(folder_count > 0 ? "\r\nUNION ALL SELECT" : "SELECT", profile.file_threshold) + branch.items;
        const std::string twin_where =
            WhereClause("Twin", profile.include_subfolders, id, descendant_count) + branch.twin_conditions;
        sql += "\r\nFROM File" + DuplicatesJoin(profile, twin_where) + "\r\n" +
               WhereClause("File", profile.include_subfolders, id, descendant_count) + branch.conditions;
    }
    sql += "\r\nORDER BY [" + profile.sort_column + "] " + SortDirection(profile) + ";";
    return true;
}

bool CrosstabSql(const QueryProfile& profile, std::int32_t descendant_count, const CivilTime& run_time,
                 std::string& sql, std::string& error) {
    const std::uint32_t bits = profile.crosstab_bits;
    std::string group;
    int group_row = -1;
    if ((bits & kRoleSize) && (bits & kRoleOwner)) {
        group = "Owner";
        group_row = kFileOwnerRow;
    } else if ((bits & kRoleSize) && (bits & kRoleType)) {
        group = "Type";
        group_row = kFileTypeRow;
    } else {
        error = "Unknown crosstab query method.";
        return false;
    }
    sql = Head("SELECT", profile.file_threshold) + " File." + group + " AS " + group +
          ", Sum(File.[Size]) AS Size\r\nFROM File\r\n";
    const std::int32_t id = profile.initial_folder_id;
    if (id != 0 && profile.include_subfolders && descendant_count != 0) {
        sql += WhereClause("File", true, id, descendant_count);
    } else if (id != 0) {
        sql += WhereClause("File", false, id, 0);
    } else {
        sql += WhereClause("File", profile.include_subfolders, 0, 0);
    }
    std::string condition;
    if (!BuildCondition(profile.fields[group_row], run_time, condition, error))
        return false;
    if (!condition.empty())
        sql += "And " + condition;
    sql += "\r\nGROUP BY File." + group + "\r\n";
    const std::string direction = SortDirection(profile);
    if (EqualsNoCase(profile.sort_column, "owner") || EqualsNoCase(profile.sort_column, "type")) {
        sql += "ORDER BY [" + profile.sort_column + "] " + direction + ";";
    } else {
        sql += "ORDER BY Sum(Size) " + direction + ";";
    }
    return true;
}

}  // namespace

bool BuildCondition(const QueryField& field, const CivilTime& run_time, std::string& condition,
                    std::string& error, std::string_view table_alias) {
    condition.clear();
    if (field.value_text.empty())
        return true;
    const Criterion criterion = ParseCriterion(field.value_text);
    if (criterion.values.empty())
        return true;
    const std::string column = Column(table_alias.empty() ? field.table_name : table_alias, field.field_name);
    std::string body;
    if (field.type_name == "Text") {
        body = TextCondition(criterion, column);
    } else if (field.type_name == "Size") {
        if (!IsRangeList(criterion.values)) {
            error = "The criterion of " + FieldLabel(field) + " has a range without a start or an end.";
            return false;
        }
        body = SizeCondition(criterion, column);
    } else if (field.type_name == "Date/Time") {
        if (EqualsNoCase(criterion.values.front(), "Previous")) {
            if (!EzDateCondition(criterion, column, field, run_time, body, error))
                return false;
        } else {
            if (!IsRangeList(criterion.values)) {
                error = "The criterion of " + FieldLabel(field) + " has a range without a start or an end.";
                return false;
            }
            if (!DateListCondition(criterion, column, field, body, error))
                return false;
        }
    } else {
        return true;
    }
    condition = "(" + body + ")";
    return true;
}

bool GenerateQuerySql(QueryProfile& profile, std::int32_t descendant_count, const CivilTime& run_time,
                      std::string& error) {
    profile.sql_text.clear();
    std::string sql;
    const bool built = profile.crosstab_bits != 0
                           ? CrosstabSql(profile, descendant_count, run_time, sql, error)
                           : DetailSql(profile, descendant_count, run_time, sql, error);
    if (!built)
        return false;
    profile.sql_text = std::move(sql);
    return true;
}

CivilTime CurrentRunTime() {
    return LocalCivilTime(static_cast<std::int64_t>(std::time(nullptr)));
}

bool BuildQuerySql(QueryProfile& profile, Catalogue& catalogue, FolderTree& folders,
                   const QueryBuildOptions& options, std::string* error) {
    UserInterface& ui = catalogue.ui();
    std::string reason;
    // The catalogue's own lookups live in stored queries of these names.
    for (std::string_view reserved : {kFetchVolumeQuery, kFetchFolderQuery, kFetchFileQuery}) {
        if (EqualsNoCase(profile.query_name, reserved)) {
            reason = "The name " + profile.query_name +
                     " is used by the catalogue itself; save the query under "
                     "another name.";
            ui.ShowMessage(reason, MessageIcon::Exclamation, MessageButtons::Ok);
            if (error)
                *error = reason;
            return false;
        }
    }
    const CivilTime run_time = options.run_time.value_or(CurrentRunTime());
    const std::int32_t descendants = folders.DescendantCountOf(profile.initial_folder_id);
    if (!GenerateQuerySql(profile, descendants, run_time, reason)) {
        if (!reason.empty())
            ui.ShowMessage(reason, MessageIcon::Exclamation, MessageButtons::Ok);
        if (error)
            *error = reason.empty() ? "No folder or file field is in the query." : reason;
        return false;
    }
    if (options.display_sql && ui.Interactive()) {
        ui.ShowMessage(profile.sql_text, MessageIcon::None, MessageButtons::Ok);
    }

    StoredQuery& stored = catalogue.stored_query();
    const bool opened = stored.StoredQueryExists(profile.query_name)
                            ? stored.OpenStoredQuery(profile.query_name)
                            : stored.CreateStoredQuery(profile.query_name);
    if (!opened) {
        if (error)
            *error = stored.last_error();
        return false;
    }
    const bool set = stored.SetStoredQuerySql(profile.sql_text);
    if (!set && error)
        *error = stored.last_error();
    stored.CloseStoredQuery();
    return set;
}

}  // namespace korvane
