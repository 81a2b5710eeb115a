// Showing a graph of a large result on the chart: the series of the
// scanned tree's files (about 1,000,000 rows) is built once, then each of
// the four graph kinds is shown and painted; the chart gets the points,
// never the rows. Target: under 200 ms for each kind.
//
// Reported per kind: the time from handing over the series to a painted
// view, and the points shown.
#include <QApplication>

#include "query/sql_builder.h"
#include "query_bench_catalogue.h"
#include "result/graph_series.h"
#include "result/run_query.h"
#include "ui/result/graph_view.h"

namespace korvane::bench {
namespace {

QApplication& Application() {
    static int argc = 3;
    static char name[] = "graph_show_ui_bench", option[] = "-platform", platform[] = "offscreen";
    static char* argv[] = {name, option, platform, nullptr};
    static QApplication application(argc, argv);
    return application;
}

void BM_ShowGraph(benchmark::State& state) {
    BenchCatalogue& shared = SharedCatalogue();
    if (!shared.error.empty()) {
        state.SkipWithError(shared.error.c_str());
        return;
    }
    Application();
    const int mode = static_cast<int>(state.range(0));
    const bool time_line = mode == kDisplayLine || mode == kDisplayForecast;
    QueryProfile profile;
    profile.query_name = "BenchShowGraph";
    profile.include_subfolders = time_line;
    // Pie and bar: the 25 largest folders below the tree's top folder, as
    // many rows as GraphItems lets a pie or bar have.
    if (time_line) {
        for (const char* name : {"Name", "Size", "Modify Date"})
            profile.fields[FindQueryField(profile, "File", name)].in_query = true;
    } else {
        for (const char* name : {"Name", "Size"})
            profile.fields[FindQueryField(profile, "Folder", name)].in_query = true;
        profile.folder_threshold = 25;
        profile.sort_column = "Size";
        profile.sort_direction = "DESC";
    }
    CheckQueryShape(profile);
    ResultDocument document;
    document.data.result_name = profile.query_name;
    document.data.current_folder_id = shared.root_id;
    document.display_mode = mode;
    GraphSeries series;
    if (!RunQuery(&profile, document.data, shared.catalogue, shared.tree, nullptr) ||
        !BuildGraphSeries(document, shared.catalogue, 25, shared.ui, series)) {
        state.SkipWithError("the series could not be built");
        return;
    }
    GraphView view;
    view.resize(1000, 650);
    view.show();
    const GraphLook look = GraphLookOf(document, series);
    for (auto _ : state) {
        view.ShowSeries(series, look);
        QApplication::processEvents();
        benchmark::DoNotOptimize(view.grab());
    }
    state.counters["points"] = series.points;
    state.counters["rows"] = document.data.row_count;
}
BENCHMARK(BM_ShowGraph)
    ->ArgName("mode")
    ->Arg(kDisplayPie)
    ->Arg(kDisplayBar)
    ->Arg(kDisplayLine)
    ->Arg(kDisplayForecast)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane::bench
