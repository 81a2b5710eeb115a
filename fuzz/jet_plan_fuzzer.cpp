// Translates arbitrary statements with and without the WHERE planner, and
// for rows in any order, and runs them on a small catalogue: whatever the
// planner moves, marks or leaves unsorted, the answer must be the same rows.
// The PostgreSQL translation of each must refuse no more and no less.
#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/jet_sql.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

sqlite3* Catalogue() {
    static sqlite3* db = [] {
        sqlite3* handle = nullptr;
        Check(sqlite3_open(":memory:", &handle) == SQLITE_OK);
        std::string error;
        Check(korvane::ConfigureJetConnection(handle, error));
        Check(sqlite3_exec(
                  handle,
                  "CREATE TABLE Folder([Folder ID] INTEGER PRIMARY KEY, Name TEXT, [Parent ID] INTEGER,"
                  " Size REAL, [Modify Date] REAL, Attributes INTEGER, Owner TEXT);"
                  "CREATE TABLE File([File ID] INTEGER PRIMARY KEY, Name TEXT, Type TEXT, Size REAL,"
                  " [Modify Date] REAL, Owner TEXT, Attributes INTEGER, [Parent ID] INTEGER);"
                  "CREATE INDEX [Folder ID] ON File([Parent ID]);"
                  "INSERT INTO Folder VALUES (1,'C:',0,900,100,16,NULL),(2,'docs',1,500,200,16,'al'),"
                  " (3,'old',2,100,300,16,'bo'),(4,'tmp',1,NULL,400,16,'al');"
                  "INSERT INTO File VALUES (1,'a.txt','txt',10,100,'al',32,2),(2,'B.TXT','TXT',20,150,"
                  " 'bo',32,3),(3,'c.log','log',30,NULL,NULL,32,4),(4,'d','',0,400,'al',1,1),"
                  " (5,NULL,NULL,NULL,NULL,NULL,NULL,NULL),(6,'e.txt','txt',5e9,46000.5,'al',32,2);",
                  nullptr, nullptr, nullptr) == SQLITE_OK);
        return handle;
    }();
    return db;
}

// The rows as text, sorted (the planner never changes an ORDER BY, but rows
// that tie may come in another order); false when the statement fails.
bool Answer(const std::string& sql, std::vector<std::string>& rows) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(Catalogue(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return false;
    }
    int step;
    int budget = 10000;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW && --budget > 0) {
        std::string row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            const unsigned char* text = sqlite3_column_text(statement, i);
            row += text ? reinterpret_cast<const char*>(text) : "<null>";
            row += '\x1f';
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    std::sort(rows.begin(), rows.end());
    return step == SQLITE_DONE;
}

// Statements whose rows SQLite may pick by the order it reads them (a bare
// column beside an aggregate, a LIMIT without a total order) can answer
// differently under another plan without either being wrong.
bool AnswerDependsOnPlan(std::string_view sql) {
    std::string folded;
    for (const char c : sql) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            folded += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    }
    for (const char* word : {"SUM(", "COUNT(", "MIN(", "MAX(", "AVG(", "TOTAL(", "GROUP_CONCAT(", "OVER(",
                             "LIMIT", "GROUPBY", "HAVING"}) {
        if (folded.find(word) != std::string::npos)
            return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view jet(reinterpret_cast<const char*>(data), size);
    korvane::JetPlanHints as_written;
    as_written.plan_where = false;
    korvane::JetPlanHints planned;
    planned.highest_folder_id = 4;
    std::string written_sql, planned_sql, written_error, planned_error;
    const bool written_ok = korvane::TranslateJetSql(jet, written_sql, written_error, as_written);
    const bool planned_ok = korvane::TranslateJetSql(jet, planned_sql, planned_error, planned);
    Check(written_ok == planned_ok && written_error == planned_error);
    // The PostgreSQL form refuses what the SQLite form refuses, and besides
    // only Like patterns it cannot carry (malformed, or not a text).
    std::string postgres_sql, postgres_error;
    const bool postgres_ok = korvane::TranslateJetSqlForPostgres(jet, postgres_sql, postgres_error, planned);
    Check(postgres_ok ? written_ok : !written_ok || postgres_error.find("Like") != std::string::npos);
    if (!written_ok)
        return 0;
    // Planning moves terms and adds unary plus signs, nothing else.
    std::string written_bytes = written_sql, planned_bytes = planned_sql;
    std::erase(planned_bytes, '+');
    std::erase(written_bytes, '+');
    std::sort(written_bytes.begin(), written_bytes.end());
    std::sort(planned_bytes.begin(), planned_bytes.end());
    Check(written_bytes == planned_bytes);

    std::vector<std::string> written_rows, planned_rows;
    const bool written_ran = Answer(written_sql, written_rows);
    const bool planned_ran = Answer(planned_sql, planned_rows);
    // A term that fails (a malformed Like pattern) may be reached or not
    // depending on its place, so only two answers are compared.
    if (written_ran && planned_ran && !AnswerDependsOnPlan(written_sql))
        Check(written_rows == planned_rows);

    // Rows in any order: the same rows, only unsorted.
    korvane::JetPlanHints unsorted = planned;
    unsorted.any_order = true;
    std::string unsorted_sql, unsorted_error;
    Check(korvane::TranslateJetSql(jet, unsorted_sql, unsorted_error, unsorted));
    std::vector<std::string> unsorted_rows;
    if (planned_ran && Answer(unsorted_sql, unsorted_rows) && !AnswerDependsOnPlan(written_sql))
        Check(unsorted_rows == planned_rows);
    return 0;
}
