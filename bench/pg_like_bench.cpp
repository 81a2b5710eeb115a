// Jet Like on a PostgreSQL catalogue, over a million file names: as the
// translator writes it (ILIKE where that is exact, else a regular expression),
// always as the regular expression (the matcher's case folding spelled out
// per character), as ILIKE (PostgreSQL's own, which folds by the collation's
// rules, ASCII only in collation "C"), and as a server-side PL/pgSQL function
// that turns the pattern into an expression for every row. A plain count of
// the names is the floor.
//
// Needs an empty database: KORVANE_BENCH_POSTGRES=<connection URI>; the
// script pg_like_bench.sh starts a server for it.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "catalogue/jet_sql.h"
#include "catalogue/jet_tokens.h"
#include "catalogue/pg_text.h"
#include "like_bench_names.h"

namespace {

constexpr std::size_t kNames = 1000000;

struct Closer {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, Closer>;

// The Like benchmarks' names as COPY text lines.
std::string CopyLines() {
    std::string lines;
    std::size_t row = 0;
    korvane::bench::ForEachLikeBenchName(kNames, [&](const std::string& name) {
        lines += std::to_string(++row) + "\t" + korvane::PgTextFromBytes(name) + "\n";
    });
    return lines;
}

constexpr const char* kServerFunction = R"(
CREATE FUNCTION jet_like(t text, p text) RETURNS boolean LANGUAGE plpgsql IMMUTABLE STRICT AS $$
DECLARE r text := '^'; i int := 1; c text; n int := length(p);
BEGIN
  WHILE i <= n LOOP
    c := substr(p, i, 1);
    IF c = '*' THEN r := r || '.*';
    ELSIF c = '?' THEN r := r || '.';
    ELSIF c = '#' THEN r := r || '[0-9]';
    ELSIF c = '[' THEN
      r := r || '[';
      i := i + 1;
      IF substr(p, i, 1) = '!' THEN r := r || '^'; i := i + 1; END IF;
      WHILE i <= n AND substr(p, i, 1) <> ']' LOOP
        r := r || substr(p, i, 1);
        i := i + 1;
      END LOOP;
      r := r || ']';
    ELSIF ascii(c) < 128 AND c !~ '[A-Za-z0-9]' THEN r := r || '\' || c;
    ELSE r := r || c;
    END IF;
    i := i + 1;
  END LOOP;
  RETURN t ~* (r || '$');
END $$;
)";

bool Run(PGconn* connection, const std::string& sql, std::string& error) {
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    if (!ok) {
        error = PQerrorMessage(connection);
    }
    PQclear(result);
    return ok;
}

Connection Load(std::string& error) {
    const char* uri = std::getenv("KORVANE_BENCH_POSTGRES");
    if (uri == nullptr) {
        error = "set KORVANE_BENCH_POSTGRES to the URI of an empty database";
        return nullptr;
    }
    Connection connection(PQconnectdb(uri));
    if (PQstatus(connection.get()) != CONNECTION_OK) {
        error = PQerrorMessage(connection.get());
        return nullptr;
    }
    if (!Run(connection.get(),
             "DROP TABLE IF EXISTS \"File\"; DROP FUNCTION IF EXISTS jet_like;"
             "CREATE TABLE \"File\" (\"File ID\" integer PRIMARY KEY, \"Name\" text COLLATE \"C\")",
             error)) {
        return nullptr;
    }
    PGresult* copy = PQexec(connection.get(), "COPY \"File\" FROM STDIN");
    const bool copying = PQresultStatus(copy) == PGRES_COPY_IN;
    PQclear(copy);
    if (!copying) {
        error = PQerrorMessage(connection.get());
        return nullptr;
    }
    const std::string lines = CopyLines();
    if (PQputCopyData(connection.get(), lines.data(), static_cast<int>(lines.size())) != 1 ||
        PQputCopyEnd(connection.get(), nullptr) != 1) {
        error = PQerrorMessage(connection.get());
        return nullptr;
    }
    PGresult* copied = PQgetResult(connection.get());
    const bool ok = PQresultStatus(copied) == PGRES_COMMAND_OK;
    PQclear(copied);
    while (PGresult* rest = PQgetResult(connection.get())) {
        PQclear(rest);
    }
    if (!ok || !Run(connection.get(), "VACUUM ANALYZE \"File\"", error) ||
        !Run(connection.get(), kServerFunction, error)) {
        if (error.empty()) {
            error = PQerrorMessage(connection.get());
        }
        return nullptr;
    }
    return connection;
}

void Count(benchmark::State& state, const std::string& where) {
    static std::string load_error;
    static const Connection connection = Load(load_error);
    if (connection == nullptr) {
        state.SkipWithError(load_error.c_str());
        return;
    }
    const std::string sql = "SELECT count(\"Name\") FROM \"File\"" + where;
    double matched = 0;
    for (auto _ : state) {
        PGresult* result = PQexec(connection.get(), sql.c_str());
        if (PQresultStatus(result) != PGRES_TUPLES_OK) {
            state.SkipWithError(PQerrorMessage(connection.get()));
            PQclear(result);
            break;
        }
        matched = std::atof(PQgetvalue(result, 0, 0));
        PQclear(result);
    }
    state.counters["matched"] = matched;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kNames));
}

// The WHERE clause the translator makes of File.Name Like "pattern".
std::string Translated(const char* pattern) {
    std::string sql, error;
    korvane::TranslateJetSqlForPostgres(
        std::string("SELECT 1 FROM File WHERE File.Name Like \"") + pattern + "\";", sql, error);
    const std::size_t where = sql.find(" WHERE");
    return where == std::string::npos ? " WHERE false" : sql.substr(where, sql.size() - where - 1);
}

// The regular expression form, also where the translator would use ILIKE.
std::string Regex(const char* pattern) {
    std::string regex, error;
    korvane::JetLikeToPgRegex(pattern, regex, error);
    return " WHERE \"Name\" ~ " + korvane::PgTextLiteral(regex);
}

std::string ServerFunction(const char* pattern) {
    return std::string(" WHERE jet_like(\"Name\", '") + pattern + "')";
}

void BM_Postgres_FullScan_NoCondition(benchmark::State& state) {
    Count(state, "");
}
void BM_Postgres_Translated_StarDotLog(benchmark::State& state) {
    Count(state, Translated("*.log"));
}
void BM_Postgres_Regex_StarDotLog(benchmark::State& state) {
    Count(state, Regex("*.log"));
}
void BM_Postgres_Ilike_StarDotLog(benchmark::State& state) {
    Count(state, " WHERE \"Name\" ILIKE '%.log'");
}
void BM_Postgres_Function_StarDotLog(benchmark::State& state) {
    Count(state, ServerFunction("*.log"));
}
void BM_Postgres_Translated_Prefix(benchmark::State& state) {
    Count(state, Translated("report*"));
}
void BM_Postgres_Regex_Prefix(benchmark::State& state) {
    Count(state, Regex("report*"));
}
void BM_Postgres_Ilike_Prefix(benchmark::State& state) {
    Count(state, " WHERE \"Name\" ILIKE 'report%'");
}
void BM_Postgres_Function_Prefix(benchmark::State& state) {
    Count(state, ServerFunction("report*"));
}
void BM_Postgres_Translated_Contains(benchmark::State& state) {
    Count(state, Translated("*budget*"));
}
void BM_Postgres_Regex_Contains(benchmark::State& state) {
    Count(state, Regex("*budget*"));
}
void BM_Postgres_Ilike_Contains(benchmark::State& state) {
    Count(state, " WHERE \"Name\" ILIKE '%budget%'");
}
void BM_Postgres_Function_Contains(benchmark::State& state) {
    Count(state, ServerFunction("*budget*"));
}
void BM_Postgres_Regex_NonAsciiPattern(benchmark::State& state) {
    Count(state, Translated("\xc3\x89T\xc3\x89*.LOG"));
}
void BM_Postgres_IlikeDefaultCollation_NonAsciiPattern(benchmark::State& state) {
    Count(state, " WHERE \"Name\" COLLATE \"default\" ILIKE '\xc3\x89T\xc3\x89%.LOG'");
}
void BM_Postgres_Function_NonAsciiPattern(benchmark::State& state) {
    Count(state, ServerFunction("\xc3\x89T\xc3\x89*.LOG"));
}
void BM_Postgres_Regex_General(benchmark::State& state) {
    Count(state, Translated("*[0-9].l?g"));
}
void BM_Postgres_Function_General(benchmark::State& state) {
    Count(state, ServerFunction("*[0-9].l?g"));
}

BENCHMARK(BM_Postgres_FullScan_NoCondition)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Translated_StarDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Regex_StarDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Ilike_StarDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Function_StarDotLog)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Translated_Prefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Regex_Prefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Ilike_Prefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Function_Prefix)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Translated_Contains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Regex_Contains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Ilike_Contains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Function_Contains)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Regex_NonAsciiPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_IlikeDefaultCollation_NonAsciiPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Function_NonAsciiPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Regex_General)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Postgres_Function_General)->Unit(benchmark::kMillisecond);

}  // namespace
