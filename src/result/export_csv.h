// Writing a result's rows to a comma-separated file that spreadsheets read
// back into the same rows: only the shown columns, Parent ID as the parent
// folder's path, sizes as whole byte counts, lines ended by CR LF.
#pragma once

#include <string>
#include <string_view>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "result/result_data.h"

namespace korvane {

// Reads the rows afresh from the stored query named by the result name.
// Fails without writing a file when that query cannot be opened or has no
// rows; fails with "Could not write to %s." (shown only when a progress
// window is given) when the file cannot be created, and also when writing
// it fails; fails too when the rows stop coming part-way (the engine's
// message shown only when a progress window is given). A cancel keeps the
// lines written so far and still succeeds.
bool ExportCsv(const ResultData& result, const std::string& path, Catalogue& catalogue, FolderTree& folders,
               ProgressWindow* window);

// Appends one field: enclosed in double quotes, with the double quotes
// inside doubled, when it holds a comma or a line break; unchanged
// otherwise (a name with a double quote and nothing else to fear stays as
// it is).
void AppendCsvField(std::string& line, std::string_view text);

}  // namespace korvane
