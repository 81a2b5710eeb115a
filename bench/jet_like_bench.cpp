// The Jet Like matcher over a million file names: directly, and inside SQLite
// through the registered like() next to SQLite's own LIKE on the same rows.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/jet_sql.h"
#include "like_bench_names.h"

namespace {

constexpr std::size_t kNames = 1000000;

// The Like benchmarks' names, packed in one buffer.
struct NameSet {
    std::string bytes;
    std::vector<std::string_view> names;

    NameSet() {
        std::vector<std::size_t> ends;
        ends.reserve(kNames);
        korvane::bench::ForEachLikeBenchName(kNames, [&](const std::string& name) {
            bytes += name;
            ends.push_back(bytes.size());
        });
        std::size_t begin = 0;
        names.reserve(kNames);
        for (const std::size_t end : ends) {
            names.emplace_back(bytes.data() + begin, end - begin);
            begin = end;
        }
    }
};

const NameSet& Names() {
    static const NameSet names;
    return names;
}

void MatchAll(benchmark::State& state, const char* pattern) {
    const NameSet& set = Names();
    std::size_t matched = 0;
    for (auto _ : state) {
        matched = 0;
        for (const std::string_view name : set.names) {
            matched += korvane::JetLikeMatch(pattern, name) ? 1 : 0;
        }
        benchmark::DoNotOptimize(matched);
    }
    state.counters["matched"] = static_cast<double>(matched);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * set.names.size()));
}

void BM_JetLike_StarDotLog(benchmark::State& state) {
    MatchAll(state, "*.log");
}
void BM_JetLike_Prefix(benchmark::State& state) {
    MatchAll(state, "report*");
}
void BM_JetLike_Contains(benchmark::State& state) {
    MatchAll(state, "*budget*");
}
void BM_JetLike_NonAsciiPattern(benchmark::State& state) {
    MatchAll(state, "\xc3\x89T\xc3\x89*.LOG");
}
void BM_JetLike_General(benchmark::State& state) {
    MatchAll(state, "*[0-9].l?g");
}

BENCHMARK(BM_JetLike_StarDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JetLike_Prefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JetLike_Contains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JetLike_NonAsciiPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JetLike_General)->Unit(benchmark::kMillisecond);

struct CloseDb {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// Two in-memory catalogues with the same million names: one with the Jet
// like(), one left with SQLite's own.
std::unique_ptr<sqlite3, CloseDb> MakeDb(bool jet) {
    sqlite3* raw = nullptr;
    sqlite3_open(":memory:", &raw);
    std::unique_ptr<sqlite3, CloseDb> db(raw);
    std::string error;
    if (jet && !korvane::ConfigureJetConnection(raw, error)) {
        return nullptr;
    }
    sqlite3_exec(raw, "CREATE TABLE File ([File ID] INTEGER, Name TEXT); BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(raw, "INSERT INTO File VALUES (?, ?)", -1, &insert, nullptr);
    int id = 1;
    for (const std::string_view name : Names().names) {
        sqlite3_bind_int(insert, 1, id++);
        sqlite3_bind_text(insert, 2, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    return db;
}

void CountRows(benchmark::State& state, bool jet, const char* sql) {
    static const auto jet_db = MakeDb(true);
    static const auto plain_db = MakeDb(false);
    sqlite3* db = jet ? jet_db.get() : plain_db.get();
    if (db == nullptr) {
        state.SkipWithError("could not build the catalogue");
        return;
    }
    sqlite3_stmt* count = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &count, nullptr) != SQLITE_OK) {
        state.SkipWithError(sqlite3_errmsg(db));
        return;
    }
    std::int64_t matched = 0;
    for (auto _ : state) {
        sqlite3_reset(count);
        if (sqlite3_step(count) != SQLITE_ROW) {
            state.SkipWithError(sqlite3_errmsg(db));
            break;
        }
        matched = sqlite3_column_int64(count, 0);
    }
    sqlite3_finalize(count);
    state.counters["matched"] = static_cast<double>(matched);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kNames));
}

void BM_Sqlite_JetLike_StarDotLog(benchmark::State& state) {
    CountRows(state, true, "SELECT count(*) FROM File WHERE Name Like '*.log'");
}
void BM_Sqlite_BuiltinLike_PercentDotLog(benchmark::State& state) {
    CountRows(state, false, "SELECT count(*) FROM File WHERE Name LIKE '%.log'");
}
void BM_Sqlite_FullScan_NoCondition(benchmark::State& state) {
    CountRows(state, true, "SELECT count(Name) FROM File");
}

BENCHMARK(BM_Sqlite_JetLike_StarDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_BuiltinLike_PercentDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_FullScan_NoCondition)->Unit(benchmark::kMillisecond);

}  // namespace
