// Runs the catalogue's Jet SQL on SQLite.
//
// The translator's contract: bracketed names and literals are never changed
// inside; "text" becomes 'text'; #m/d/yyyy# and #m/d/yyyy h:m:s# become day
// numbers; SELECT TOP n becomes a LIMIT on its branch. Like and Not Like keep
// Jet's wildcards (* ? # [..] [!..], % and _ literal) and ignore case beyond
// ASCII through the registered like() function; =, <>, GROUP BY and ORDER BY
// on text compare exactly (binary), as Linux file names do. TOP n returns
// exactly n rows (ties beyond n are not returned).
//
// SQLite tests the terms of a WHERE clause in the order written and has no
// statistics on the catalogue, so the translator plans each WHERE clause
// whose top level is a chain of And: plain comparisons first, then the
// folder scope (terms on [Parent ID] only, which hold for most rows), then
// terms that call a function (Like, IN, subqueries). A scope wider than
// half of the catalogue's folders reads the table in order instead of
// looking up every row through the [Parent ID] index. The answer is the same
// either way; only the work differs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

namespace korvane {

// Translates one Jet statement. On failure error says what could not be read.
// Only a single SELECT (with UNION branches) is accepted; constructs without
// a faithful SQLite form are refused, never guessed: "&", TOP n PERCENT,
// DISTINCTROW, IIf, Nz, "--", "/*", "!", "?" and other stray characters,
// dates that are not m/d/yyyy [h:m[:s]] on or after 12/30/1899 (a month above
// 12, a two-digit year), and SQLite-only words that would bypass the Jet Like
// (ESCAPE, GLOB, COLLATE, LIMIT). The result always ends with one ";".
// What the catalogue knows of its rows that SQLite's planner cannot.
struct JetPlanHints {
    // The highest Folder ID ([Parent ID] values are Folder IDs); 0 when
    // unknown, which leaves the choice of index to SQLite.
    std::int64_t highest_folder_id = 0;
    // False keeps every WHERE clause as written (to compare the answers).
    bool plan_where = true;
    // The caller only counts and totals the rows: the statement's final
    // ORDER BY is left out unless a TOP depends on it, sparing a sort.
    bool any_order = false;
};

bool TranslateJetSql(std::string_view jet_sql, std::string& sqlite_sql, std::string& error,
                     const JetPlanHints& hints = {});

// The same translation for a catalogue on PostgreSQL, with the same refusals.
// Names are quoted ("Parent ID"; Jet's case-blind names take the catalogue's
// or the alias's spelling), texts are PostgreSQL literals, #dates# day numbers
// as double precision, TOP n a LIMIT (a UNION branch becomes a named
// subquery). Like and Not Like become ILIKE in collation "C" where that is
// exact (ASCII patterns of literals, * and ?, without k or s), else regular
// expression matches (~, !~) with Jet's wildcards and the matcher's case
// folding spelled out, so the answer equals SQLite's whatever the database's
// locale; a malformed pattern is refused here. Texts compare byte by byte through the catalogue's
// collation "C". A division by zero gives NULL, as on SQLite. NULL sorts
// first ascending and last descending, as on SQLite, and the empty text that
// fills a number column in a branch without it becomes NaN, which sorts where
// SQLite sorts that text. The WHERE planning is left to the server's planner.
bool TranslateJetSqlForPostgres(std::string_view jet_sql, std::string& postgres_sql, std::string& error,
                                const JetPlanHints& hints = {});

// Jet's Like: * any run, ? one character, # one digit, [..] and [!..] lists,
// case ignored beyond ASCII, each invalid UTF-8 byte one character.
// A malformed pattern ("a[bc") sets malformed and matches nothing.
// In a list, "-" between two characters is a range (ascending, or the
// pattern is malformed) and stands for itself first or last; "[]" matches the
// empty string and "[!]" any one character. "#" is an ASCII digit.
bool JetLikeMatch(std::string_view pattern, std::string_view text, bool* malformed = nullptr);

// Prepares a connection for translated SQL: double-quoted string literals
// off, like() replaced by the Jet matcher, extension loading off. Call once
// per connection, and never run PRAGMA case_sensitive_like on it (that would
// bring SQLite's own like() back). A malformed Like pattern is an SQL error
// raised by like() when a row is tested (so sqlite3_step fails, not prepare);
// a NULL operand gives NULL, so neither Like nor Not Like selects the row.
bool ConfigureJetConnection(sqlite3* db, std::string& error);

}  // namespace korvane
