#include "result/run_query.h"

#include <cstdio>

#include "catalogue/volume_fetch.h"

namespace korvane {
namespace {

// New positions start shown, as wide as a size.
constexpr std::int32_t kDefaultWidth = 12;

std::uint64_t FreeSpace(Catalogue& catalogue, const ResultData& result) {
    VolumeScanRecord volume;
    if (result.current_folder_id != 0) {
        return FetchVolumeByRoot(catalogue, result.path, volume) ? volume.free : 0;
    }
    std::uint64_t free = 0;
    for (std::int32_t id = 1; id > 0 && FetchVolumeById(catalogue, id, volume); ++id)
        free += volume.free;
    return free;
}

std::string FoundText(std::int32_t rows) {
    char text[40];
    std::snprintf(text, sizeof text, "     Found %9d...", static_cast<int>(rows));
    return text;
}

struct SpecialColumns {
    int size = -1;
    int date = -1;
    int folder_id = -1;
};

SpecialColumns FindSpecialColumns(const ResultData& result) {
    SpecialColumns special;
    special.size = result.ColumnIndex("Size");
    if (special.size < 0)
        special.size = result.ColumnIndex("Compressed");
    for (std::size_t i = 0; i < result.columns.size() && special.date < 0; ++i) {
        const std::string& name = result.columns[i].name;
        if (name == "Create Date" || name == "Modify Date" || name == "Access Date")
            special.date = static_cast<int>(i);
    }
    special.folder_id = result.ColumnIndex("Folder ID");
    return special;
}

// One pass over the rows: count, total size, earliest and latest date.
// False when there were no rows to walk. None of the figures depends on the
// rows' order, so without a window the statement's sort is skipped; with
// one, a cancel keeps the figures of the first rows in the views' order, the
// rows those views then show. Without a window nothing else can use the
// catalogue meanwhile, so the rows may stream.
bool ScanRows(StoredQuery& query, ResultData& result, ProgressWindow* window) {
    const bool unattended = window == nullptr;
    if (!query.OpenQuerySnapshot(/*any_order=*/unattended, /*forward_only=*/unattended))
        return false;
    if (!query.MoveQueryRow(0)) {
        query.CloseQuerySnapshot();
        return false;
    }
    const SpecialColumns special = FindSpecialColumns(result);
    FieldValue value;
    do {
        std::int32_t folder = 0;
        if (result.include_subfolders && special.folder_id >= 0 &&
            query.QueryFieldValue(special.folder_id, value)) {
            value.AsInt32(folder);
        }
        if (folder == 0) {
            double size = 0.0;
            if (special.size >= 0 && query.QueryFieldValue(special.size, value) && value.AsDouble(size)) {
                const std::int64_t bytes = SaturateToInt64(size);
                if (bytes > 0)
                    result.total_size += static_cast<std::uint64_t>(bytes);
            }
            if (special.date >= 0 && query.QueryFieldValue(special.date, value) &&
                value.kind == FieldKind::Date && value.number != 1.0) {
                const double date = value.number;
                if (result.earliest_date == 0.0 || date < result.earliest_date)
                    result.earliest_date = date;
                if (date > result.latest_date)
                    result.latest_date = date;
            }
        }
        ++result.row_count;
        if (window && result.row_count % 64 == 0) {
            if (window->PollCancel())
                break;
            window->SetFirstLine(FoundText(result.row_count));
        }
    } while (!result.columns.empty() && query.NextQueryRow());
    query.CloseQuerySnapshot();
    return true;
}

}  // namespace

void DescribeColumn(ColumnDescriptor& column) {
    const std::string& name = column.name;
    auto set = [&](bool shown, std::int32_t width) {
        column.shown = shown;
        column.width = width;
    };
    if (name == "Name") {
        set(true, 14);
    } else if (name == "Type") {
        set(true, 4);
    } else if (name == "Owner") {
        set(true, 15);
    } else if (name == "Size" || name == "Size Total" || name == "Free" || name == "Compressed") {
        set(true, 12);
    } else if (name == "Parent ID") {
        set(true, 40);
    } else if (name == "Create Date" || name == "Access Date" || name == "Modify Date") {
        set(true, 20);
    } else if (name == "Level" || name == "Folders" || name == "Files") {
        set(true, 3);
    } else if (name == "Folder ID") {
        column.shown = false;
        column.sort_direction = 2;
    } else if (name == "File ID") {
        column.shown = false;
    } else if (name == "Attributes") {
        set(false, 0);
    }
}

bool RunQuery(QueryProfile* profile, ResultData& result, Catalogue& catalogue, FolderTree& folders,
              ProgressWindow* window, const QueryBuildOptions& options) {
    if (!profile)
        return false;
    const FolderNode* current = folders.FindFolderById(result.current_folder_id);
    if (!current)
        current = folders.root();
    result.current_folder_id = current->folder_id;
    profile->initial_folder_id = current->folder_id;
    folders.FolderPath(current, result.path);

    if (!BuildQuerySql(*profile, catalogue, folders, options))
        return false;
    result.free_space = FreeSpace(catalogue, result);

    StoredQuery& query = catalogue.stored_query();
    if (!query.OpenStoredQuery(result.result_name))
        return false;
    if (window) {
        window->Show();
        window->SetTitle("Setting query...");
    }
    result.include_subfolders = profile->include_subfolders;

    const std::size_t count = std::min<std::size_t>(query.QueryColumnCount(), kMaxResultColumns);
    const std::size_t previous = result.columns.size();
    result.columns.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        ColumnDescriptor& column = result.columns[i];
        if (i >= previous) {
            column.shown = true;
            column.width = kDefaultWidth;
        }
        column.type = query.QueryColumnInfo(static_cast<int>(i), column.name);
        DescribeColumn(column);
    }

    if (window)
        window->SetTitle("Scanning for results...");
    result.row_count = 0;
    result.total_size = 0;
    result.earliest_date = 0.0;
    result.latest_date = 0.0;
    const bool walked = ScanRows(query, result, window);
    // Rows that stopped coming before their end (a lost connection, a read
    // error) would leave figures that look whole; the stored query keeps why.
    const bool cut_off = walked && !query.last_error().empty();
    query.CloseStoredQuery();
    if (window) {
        if (walked && !cut_off)
            window->SetFirstLine(FoundText(result.row_count));
        window->Close();
    }
    return !cut_off;
}

bool RerunResult(ResultDocument& document, Catalogue& catalogue, FolderTree& folders, ResultViews& views,
                 const QueryBuildOptions& options) {
    if (!document.progress)
        document.progress = catalogue.ui().CreateProgressWindow();
    if (!RunQuery(document.data.profile, document.data, catalogue, folders, document.progress.get(),
                  options)) {
        return false;
    }
    views.ActivateFrame();
    views.RefreshViews();
    return true;
}

}  // namespace korvane
