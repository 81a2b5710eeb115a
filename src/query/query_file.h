// The query file (.qry): sections "Query Options" and "Query" with one
// criteria line per field of the query that allows criteria.
//
// Texts are read whole: a criteria line or a folder path longer than the
// program's old buffers keeps its meaning instead of being cut short.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/folder_tree.h"
#include "query/query_profile.h"

namespace korvane {

// Fills profile from the file at path. Fields not named by a criteria line
// keep their state, so a fresh profile has them out of the query. Lines
// naming no field of the query field table, or with fewer than two tokens,
// are skipped. The query name becomes the file's name cut at its first ".".
//
// Fails, with the reason in error, when the file cannot be read, and in an
// unattended run (interactive false) also when Initial Folder is empty or
// names no folder of the catalogue. Interactively an empty Initial Folder
// means all volumes and an unknown one gives initial folder ID 0 (Execute
// reports it).
bool ReadQueryFile(QueryProfile& profile, const std::string& path, FolderTree& folders, bool interactive,
                   std::string* error = nullptr);

// Rewrites the two sections (other sections of an existing file stay).
// Fails when the file cannot be written, or when a text to write holds a
// line break (it would break the file's lines); the old file then stays.
bool WriteQueryFile(const QueryProfile& profile, const std::string& path, std::string* error = nullptr);

// The criteria line of one field: " \"table\", \"field\"," and, when the
// field has a value text, a blank, the value text, "," and a blank.
std::string CriteriaLineOf(const QueryField& field);

// Where the value text of a criteria line starts: at its third token (its
// opening double quote when quoted); npos when the line has fewer tokens.
std::size_t ValueTextStart(std::string_view line);

}  // namespace korvane
