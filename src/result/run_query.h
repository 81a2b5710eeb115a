// Running a query for a result's current folder: the statement is built and
// stored, the answer's columns are described, and one pass over its rows
// counts them and gathers the totals the report, graphs and printout show.
// The rows themselves stay in the catalogue's stored query.
#pragma once

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "query/query_profile.h"
#include "query/sql_builder.h"
#include "result/result_data.h"

namespace korvane {

// Runs the profile for result's current folder. Fails, with nothing but the
// built statement changed, when there is no profile, when the statement
// cannot be built or stored (so a stale statement never answers), or when
// the stored query cannot be opened, or when the rows stop coming before
// their end (the stored query's last_error says why; the figures are then
// partial). A cancel in the progress window ends
// the pass over the rows with the figures so far, and the run still
// succeeds. The progress window, when given, is shown and closed again.
bool RunQuery(QueryProfile* profile, ResultData& result, Catalogue& catalogue, FolderTree& folders,
              ProgressWindow* window, const QueryBuildOptions& options = {});

// What a result's windows do after a successful run.
class ResultViews {
  public:
    virtual ~ResultViews() = default;
    virtual void ActivateFrame() = 0;
    virtual void RefreshViews() = 0;
};

// Runs the document's profile into its data with the document's own
// progress window; on success activates the result's frame and refreshes its
// views. On failure nothing further happens: the views keep their state.
bool RerunResult(ResultDocument& document, Catalogue& catalogue, FolderTree& folders, ResultViews& views,
                 const QueryBuildOptions& options = {});

// The descriptor rules by column name, applied at every run: shown flag and
// width (and Folder ID's descending sort); other names keep their values.
void DescribeColumn(ColumnDescriptor& column);

}  // namespace korvane
