// The result file (.rst): how a result is shown and which folder it was run
// for; a standalone result also keeps its columns and rows for other readers
// (the program never reads those back).
#pragma once

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/field_value.h"
#include "catalogue/folder_tree.h"
#include "result/result_data.h"

namespace korvane {

// Fails when the file does not exist or cannot be read. The result name
// becomes the file's name cut at its first "."; a Path no longer in the
// catalogue opens on the top node (all volumes). The column count is read
// (at most 32); the descriptors are rebuilt by the next run.
bool ReadResultFile(ResultDocument& document, const std::string& path, FolderTree& folders);

// Writes the file afresh (only its own sections remain). A standalone result
// also writes FieldLine, Lines and one ResultLine per row of the stored query
// named by the result name; when that query cannot be opened or has no rows,
// the file keeps what was written before and the save fails. The new file
// replaces the old one only once it is written, so a write that fails keeps
// the old file.
bool WriteResultFile(const ResultDocument& document, const std::string& path, Catalogue& catalogue,
                     FolderTree& folders);

// "\"%s\",%d,%d,%d,%d": name, shown, type, sort direction, width.
std::string FieldLineOf(const ColumnDescriptor& column);

// One row: a field per value, separated by ",". Parent ID numbers become the
// folder's path in double quotes, other integers decimal, sizes the byte
// count cut to a whole number, dates "%H:%M:%S %m/%d/%Y" (empty for the
// filler 12/31/1899), texts in double quotes, null empty. A line break in a
// text would end the file's line, so it is written as a blank.
std::string ResultLineOf(const std::vector<FieldValue>& values, int parent_id_column, FolderTree& folders);

// The text of a date field: empty for the filler date (day number 1.0) and
// for values that are no date.
std::string ResultDateText(double day_number);

}  // namespace korvane
