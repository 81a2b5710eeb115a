// The catalogue's tables, columns and indexes, and the one map from column
// names to their types that every reader of query answers uses.
//
// Layout on SQLite: every identifier column (Computer ID, Volume ID, Folder
// ID, File ID, UV ID) is the table's INTEGER PRIMARY KEY, so the "PrimaryKey"
// index of each table is the table's own b-tree and a seek by identifier is
// one lookup. "Folder ID" indexes File.[Parent ID]; "Folder Parent ID"
// indexes Folder.[Parent ID]. Integers are INTEGER, byte counts and dates
// (day numbers) REAL, texts TEXT. Stored queries are rows of
// "Stored Queries" (Name unique without regard to case, SQL as set).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct sqlite3;

namespace korvane {

// The engine's type codes of a column as callers see them (the values the
// result files keep).
enum class ColumnType : std::int16_t { None = 0, Integer = 4, Double = 7, Date = 8, Text = 10 };

struct ColumnDef {
    std::string_view name;
    ColumnType type;
};

struct IndexDef {
    std::string_view name;    // the name callers use with SetCurrentIndex
    std::string_view column;  // the indexed column
};

struct TableDef {
    std::string_view name;
    std::span<const ColumnDef> columns;
    // The identifier column that is the INTEGER PRIMARY KEY ("PrimaryKey").
    std::string_view key_column;
    std::span<const IndexDef> indexes;  // besides "PrimaryKey"

    int ColumnIndex(std::string_view column) const;  // -1 when absent
};

inline constexpr std::string_view kPrimaryKeyIndex = "PrimaryKey";
inline constexpr std::string_view kStoredQueriesTable = "Stored Queries";

const TableDef& ComputerTable();
const TableDef& VolumeTable();
const TableDef& FolderTable();
const TableDef& FileTable();
const TableDef& UserVolumesTable();

// The five tables with rows, in the order they are created.
std::span<const TableDef* const> CatalogueTables();

// The type of a column by its name, as the catalogue's tables define it
// (names are compared without regard to ASCII case). None when no table has
// a column of that name.
ColumnType ColumnTypeOfName(std::string_view column_name);

// The stored queries every catalogue holds.
inline constexpr std::string_view kFetchVolumeQuery = "FetchVolume";
inline constexpr std::string_view kFetchFolderQuery = "FetchFolder";
inline constexpr std::string_view kFetchFileQuery = "FetchFile";

// Creates a new catalogue file at path with every table, index and stored
// query and no rows. Refuses (false, with the reason in error) when a file of
// that name exists; a failure leaves nothing behind.
bool CreateEmptyCatalogue(const std::string& path, std::string& error);

// Creates every table, index and stored query in the open connection's main
// database, inside whatever transaction the caller holds.
bool CreateCatalogueSchema(sqlite3* db, std::string& error);

// The statements that create every table, index and stored query of a
// catalogue in an empty PostgreSQL database, to run in one transaction. The
// same tables and columns as on SQLite: integers as integer (the volume
// serial number as bigint), byte counts and day numbers as double precision,
// texts as text compared byte by byte (collation "C"), so =, ORDER BY and
// GROUP BY on text are exact as on SQLite. Stored query names are unique
// without regard to ASCII case.
std::string PostgresCatalogueSchemaSql();
// One table of that schema under the (quoted, possibly qualified) name
// given: without its keys and indexes, and the statements that add them
// once the rows are in.
std::string PostgresBareTableSql(const TableDef& table, std::string_view name);
std::string PostgresTableKeysSql(const TableDef& table, std::string_view name);
// The size of an integer column's values on the server (4 or 8 bytes).
int PostgresIntegerBytes(const ColumnDef& column);

// True when the connection's database holds every table and column above with
// the identifiers as integer primary keys. Reads only; error says what is
// missing or the engine's message (a file that is no database).
bool VerifyCatalogueSchema(sqlite3* db, std::string& error);

}  // namespace korvane
