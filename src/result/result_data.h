// The run-time data of a result: the answer's column descriptors and the
// figures gathered by one pass over its rows. The rows themselves stay in the
// catalogue's stored query of the result's name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/schema.h"
#include "query/query_profile.h"

namespace korvane {

inline constexpr std::size_t kMaxResultColumns = 32;

struct ColumnDescriptor {
    bool shown = false;
    ColumnType type = ColumnType::None;
    std::int32_t sort_direction = 0;  // 0 none, 1 ascending, 2 descending
    std::int32_t width = 0;           // characters
    std::string name;
};

struct ResultData {
    std::string result_name;             // names the stored query the result reads
    std::string path;                    // path of the current folder
    std::int32_t current_folder_id = 0;  // 0: the top node, all volumes
    std::int32_t row_count = 0;
    std::uint64_t total_size = 0;
    std::uint64_t free_space = 0;
    double earliest_date = 0.0;  // day numbers; 0 means none
    double latest_date = 0.0;
    bool include_subfolders = false;
    std::vector<ColumnDescriptor> columns;  // at most kMaxResultColumns
    QueryProfile* profile = nullptr;        // the open query of the same name, or none

    // Position among all columns, names compared exactly; -1 when absent.
    int ColumnIndex(std::string_view name) const;
    // Position among the shown columns, names compared without regard to
    // case; -1 when absent.
    int ShownColumnIndex(std::string_view name) const;
};

// Display modes of a result.
inline constexpr int kDisplayReport = 16;
inline constexpr int kDisplayPie = 32;
inline constexpr int kDisplayBar = 64;
inline constexpr int kDisplayLine = 128;
inline constexpr int kDisplayForecast = 256;

// A result document's data besides the framework's: the run-time data, the
// graph settings and the standalone flag kept in the result file.
struct ResultDocument {
    ResultDocument();

    ResultData data;
    std::string computed_title;
    std::string title;
    std::string x_title;
    std::string y_title;
    bool three_d = true;
    int display_mode = kDisplayReport;
    bool standalone = false;
    std::string forecast_text;
    // The document's own progress window for its runs; made on first use.
    std::unique_ptr<ProgressWindow> progress;
};

}  // namespace korvane
