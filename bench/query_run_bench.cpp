// A question of the worked example's kind (name patterns, a size range,
// Previous 30 Days, include subfolders from the scanned tree's folder) asked
// three ways in one run, interleaved: RunQuery on the catalogue, find on the
// tree itself, and the sqlite3 tool with the same question written by hand
// against the same catalogue file.
//
// A second question with a large answer (the size range alone) shows the
// cost of producing many rows.
//
// Reported: the time of RunQuery; find_over_run (find's time / RunQuery's,
// target at least 10) and run_over_sqlite (RunQuery's / sqlite3's, target at
// most 3); the rows each way found.
#include <ctime>

#include "catalogue/day_number.h"
#include "query/criterion.h"
#include "query/sql_builder.h"
#include "query_bench_catalogue.h"
#include "result/run_query.h"

namespace korvane::bench {
namespace {

std::int64_t EpochOf(const CivilTime& t) {
    std::tm local{};
    local.tm_year = t.year - 1900;
    local.tm_mon = t.month - 1;
    local.tm_mday = t.day;
    local.tm_hour = t.hour;
    local.tm_min = t.minute;
    local.tm_sec = t.second;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local));
}

std::string DayText(const CivilTime& t) {
    double day = 0;
    DayNumberFromCivil(t.year, t.month, t.day, t.hour, t.minute, t.second, day);
    return FormatDayNumber(day);
}

// One question asked the three ways. criteria: (field, value text) pairs;
// where: the same question on the File table for sqlite3; tests: the same
// for find, after "-type f".
struct Question {
    std::vector<std::pair<const char*, std::string>> criteria;
    std::string where;
    std::vector<std::string> tests;
};

void CompareWithFindAndSqlite3(benchmark::State& state, const Question& question,
                               const QueryBuildOptions& options) {
    BenchCatalogue& shared = SharedCatalogue();
    QueryProfile profile;
    profile.query_name = "BenchQuery";
    profile.include_subfolders = true;
    for (const auto& [name, value_text] : question.criteria) {
        QueryField& field = profile.fields[FindQueryField(profile, "File", name)];
        field.in_query = true;
        field.value_text = value_text;
    }
    CheckQueryShape(profile);
    ResultData result;
    result.result_name = profile.query_name;
    result.current_folder_id = shared.root_id;

    const std::int32_t first = shared.root_id;
    const std::int32_t last = shared.root_id + shared.tree.DescendantCountOf(shared.root_id);
    const std::string where = "\"Parent ID\">" + std::to_string(first - 1) +
                              " AND \"Parent ID\"<=" + std::to_string(last) + " AND " + question.where;
    const std::vector<std::string> sqlite3 = {
        "sqlite3", "-readonly", shared.catalogue_path,
        "SELECT Name, Size, \"Parent ID\", Attributes, \"Modify Date\" FROM File WHERE " + where +
            " ORDER BY Size;"};
    std::vector<std::string> find = {"find", shared.tree_path, "-type", "f"};
    find.insert(find.end(), question.tests.begin(), question.tests.end());

    double run_seconds = 0, find_seconds = 0, sqlite_seconds = 0;
    for (auto _ : state) {
        const double run =
            TimeWork([&] { RunQuery(&profile, result, shared.catalogue, shared.tree, nullptr, options); });
        const double by_find = TimeCommand(find);
        const double by_sqlite = TimeCommand(sqlite3);
        if (by_find < 0 || by_sqlite < 0) {
            state.SkipWithError("find or sqlite3 failed");
            return;
        }
        state.SetIterationTime(run);
        run_seconds += run;
        find_seconds += by_find;
        sqlite_seconds += by_sqlite;
    }
    state.counters["find_over_run"] = find_seconds / run_seconds;
    state.counters["run_over_sqlite"] = run_seconds / sqlite_seconds;
    state.counters["find_s"] = find_seconds / state.iterations();
    state.counters["sqlite_s"] = sqlite_seconds / state.iterations();
    state.counters["rows"] = result.row_count;
    state.counters["rows_sqlite"] =
        std::atof(CommandLine("sqlite3 -readonly " + ShellQuoted(shared.catalogue_path) + " " +
                              ShellQuoted("SELECT count(*) FROM File WHERE " + where))
                      .c_str());
    std::string find_count;
    for (const std::string& argument : find)
        find_count += ShellQuoted(argument) + " ";
    state.counters["rows_find"] = std::atof(CommandLine(find_count + "| wc -l").c_str());
}

// The worked example's kind: name patterns, a size range, Previous 30 Days.
void BM_RunQueryVsFindAndSqlite3(benchmark::State& state) {
    if (!SharedCatalogue().error.empty()) {
        state.SkipWithError(SharedCatalogue().error.c_str());
        return;
    }
    const CivilTime now = CurrentRunTime();
    const CivilTime boundary = EzDateBoundary(now, 30, EzUnit::Days);
    QueryBuildOptions options;
    options.run_time = now;
    Question question;
    question.criteria = {{"Name", "Include  \"*.log\",\"*.txt\""},
                         {"Size", "Include  1M - 100M "},
                         {"Modify Date", "Include Previous  30 Days"}};
    question.where =
        "(Name LIKE '%.log' OR Name LIKE '%.txt') AND Size>=1000000 AND Size<=100000000 AND "
        "\"Modify Date\">=" +
        DayText(boundary) + " AND \"Modify Date\"<=" + DayText(now);
    question.tests = {"(",
                      "-iname",
                      "*.log",
                      "-o",
                      "-iname",
                      "*.txt",
                      ")",
                      "-size",
                      "+999999c",
                      "-size",
                      "-100000001c",
                      "-newermt",
                      "@" + std::to_string(EpochOf(boundary) - 1),
                      "!",
                      "-newermt",
                      "@" + std::to_string(EpochOf(now))};
    CompareWithFindAndSqlite3(state, question, options);
}

// A large answer (about two files in five): the size range alone.
void BM_RunQueryLargeAnswerVsFindAndSqlite3(benchmark::State& state) {
    if (!SharedCatalogue().error.empty()) {
        state.SkipWithError(SharedCatalogue().error.c_str());
        return;
    }
    Question question;
    question.criteria = {{"Size", "Include  1M - 100M "}};
    question.where = "Size>=1000000 AND Size<=100000000";
    question.tests = {"-size", "+999999c", "-size", "-100000001c"};
    CompareWithFindAndSqlite3(state, question, QueryBuildOptions{});
}

BENCHMARK(BM_RunQueryVsFindAndSqlite3)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunQueryLargeAnswerVsFindAndSqlite3)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane::bench
