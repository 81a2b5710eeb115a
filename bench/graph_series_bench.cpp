// The time line of a large result (every file of the scanned tree with its
// Modify Date, about 1,000,000 rows, 25 points) next to RunQuery of the
// same result, interleaved in one run: both read every row of the stored
// query once.
//
// Reported: the time of building the series and line_over_run (the
// series' time / RunQuery's, target at most 1.5); the rows and points.
#include "query/sql_builder.h"
#include "query_bench_catalogue.h"
#include "result/graph_series.h"
#include "result/run_query.h"

namespace korvane::bench {
namespace {

void BM_TimeLineVsRunQuery(benchmark::State& state) {
    BenchCatalogue& shared = SharedCatalogue();
    if (!shared.error.empty()) {
        state.SkipWithError(shared.error.c_str());
        return;
    }
    QueryProfile profile;
    profile.query_name = "BenchTimeLine";
    profile.include_subfolders = true;
    for (const char* name : {"Name", "Size", "Modify Date"})
        profile.fields[FindQueryField(profile, "File", name)].in_query = true;
    CheckQueryShape(profile);
    ResultDocument document;
    document.data.result_name = profile.query_name;
    document.data.current_folder_id = shared.root_id;
    document.display_mode = kDisplayLine;

    double run_seconds = 0, line_seconds = 0;
    GraphSeries series;
    for (auto _ : state) {
        bool ran = false, built = false;
        const double run = TimeWork(
            [&] { ran = RunQuery(&profile, document.data, shared.catalogue, shared.tree, nullptr); });
        const double line =
            TimeWork([&] { built = BuildGraphSeries(document, shared.catalogue, 25, shared.ui, series); });
        if (!ran || !built) {
            state.SkipWithError("RunQuery or the time line failed");
            return;
        }
        state.SetIterationTime(line);
        run_seconds += run;
        line_seconds += line;
    }
    state.counters["line_over_run"] = line_seconds / run_seconds;
    state.counters["run_s"] = run_seconds / state.iterations();
    state.counters["rows"] = document.data.row_count;
    state.counters["points"] = series.points;
    std::int64_t counted = 0;
    for (std::int32_t count : series.counts)
        counted += count;
    state.counters["rows_in_points"] = static_cast<double>(counted);
}
BENCHMARK(BM_TimeLineVsRunQuery)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane::bench
