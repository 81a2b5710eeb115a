// Runs the catalogue's Jet SQL on SQLite.
//
// The translator's contract: bracketed names and literals are never changed
// inside; "text" becomes 'text'; #m/d/yyyy# and #m/d/yyyy h:m:s# become day
// numbers; SELECT TOP n becomes a LIMIT on its branch. Like and Not Like keep
// Jet's wildcards (* ? # [..] [!..], % and _ literal) and ignore case beyond
// ASCII through the registered like() function; =, <>, GROUP BY and ORDER BY
// on text compare exactly (binary), as Linux file names do. TOP n returns
// exactly n rows (ties beyond n are not returned).
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace korvane {

// Translates one Jet statement. On failure error says what could not be read.
bool TranslateJetSql(std::string_view jet_sql, std::string& sqlite_sql, std::string& error);

// Jet's Like: * any run, ? one character, # one digit, [..] and [!..] lists,
// case ignored beyond ASCII, each invalid UTF-8 byte one character.
// A malformed pattern ("a[bc") sets malformed and matches nothing.
bool JetLikeMatch(std::string_view pattern, std::string_view text, bool* malformed = nullptr);

// Prepares a connection for translated SQL: double-quoted string literals
// off, like() replaced by the Jet matcher. Call once per connection.
bool ConfigureJetConnection(sqlite3* db, std::string& error);

}  // namespace korvane
