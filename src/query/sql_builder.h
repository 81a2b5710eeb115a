// Turns a runnable query profile into one Jet SQL statement: a detail query
// (a Folder branch and a File branch joined by UNION ALL under one column
// list) or a crosstab query (file sizes summed per owner or per type).
//
// Values are placed between double quotes with every double quote doubled,
// so no criterion can change the shape of a statement. Name patterns keep
// DOS wildcard meaning: "*" and "?" are wildcards, while "[" and "#", which
// the pattern operator would read as a character list or a digit, are
// matched literally. The statement has no length limit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "query/criterion.h"
#include "query/query_profile.h"

namespace korvane {

// Turns one field's value text into a parenthesised condition. condition is
// left empty when the field restricts nothing (no value text, no values, or
// a Number field). Fails with a message in error for a value text that
// cannot be turned into a correct condition: an unreadable date, a range
// without a start or an end, an EZ-Date form without count or unit.
// table_alias, when given, replaces the table name in the condition.
bool BuildCondition(const QueryField& field, const CivilTime& run_time, std::string& condition,
                    std::string& error, std::string_view table_alias = {});

// Builds the statement into profile.sql_text for the starting folder
// profile.initial_folder_id, whose folder-tree node has descendant_count
// folders below it (the folders below folder X are X+1 .. X+count). May put
// Folder ID into the query (a detail query's folder rows need it). On
// failure sql_text is empty and error says why ("Unknown crosstab query
// method." among others); error stays empty when no folder or file field is
// in the query.
bool GenerateQuerySql(QueryProfile& profile, std::int32_t descendant_count, const CivilTime& run_time,
                      std::string& error);

struct QueryBuildOptions {
    bool display_sql = false;           // the DisplaySQL setting
    std::optional<CivilTime> run_time;  // now (local time) when none
};

// Builds the statement for the starting folder (its folder count from the
// folder tree) and stores it as the stored query named by the query name,
// creating that stored query when needed. With display_sql on, an
// interactive run shows the statement first.
//
// Fails, storing nothing, when no field is in the query, when a criterion
// cannot be turned into a correct condition or the crosstab names neither
// owner nor type (both shown to the person, exclamation icon), or when the
// stored query cannot be opened or created. It also fails when the engine
// refuses the statement (the engine's message is shown and the stored query
// keeps its previous text): a run must not go on with a statement other
// than the one asked for.
bool BuildQuerySql(QueryProfile& profile, Catalogue& catalogue, FolderTree& folders,
                   const QueryBuildOptions& options, std::string* error = nullptr);

// The local time now, as criteria count it.
CivilTime CurrentRunTime();

}  // namespace korvane
