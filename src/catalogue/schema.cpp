#include "catalogue/schema.h"

#include "catalogue/server_schema.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/text_helpers.h"
#include "catalogue/database_files.h"
#include "catalogue/fetch_templates.h"
#include "catalogue/sql_statement.h"

namespace korvane {

namespace {

using enum ColumnType;

constexpr std::array<ColumnDef, 5> kComputerColumns{{
    {"Computer ID", Integer},
    {"Name", Text},
    {"Volume Key", Integer},
    {"Folder Key", Integer},
    {"File Key", Integer},
}};

constexpr std::array<ColumnDef, 17> kVolumeColumns{{
    {"Volume ID", Integer},
    {"Folder ID", Integer},
    {"Root", Text},
    {"Name", Text},
    {"Type", Text},
    {"Owner", Text},
    {"Serial Number", Integer},
    {"Format", Text},
    {"Size", Double},
    {"Used", Double},
    {"Free", Double},
    {"Files", Integer},
    {"Folders", Integer},
    {"VolType", Integer},
    {"UserName", Text},
    {"Password", Text},
    {"Flags", Integer},
}};

constexpr std::array<ColumnDef, 13> kFolderColumns{{
    {"Folder ID", Integer},
    {"Name", Text},
    {"Parent ID", Integer},
    {"Size", Double},
    {"Blocks", Double},
    {"Folders", Integer},
    {"Files", Integer},
    {"Level", Integer},
    {"Create Date", Date},
    {"Modify Date", Date},
    {"Access Date", Date},
    {"Attributes", Integer},
    {"Owner", Text},
}};

constexpr std::array<ColumnDef, 11> kFileColumns{{
    {"File ID", Integer},
    {"Name", Text},
    {"Type", Text},
    {"Size", Double},
    {"Compressed", Double},
    {"Create Date", Date},
    {"Modify Date", Date},
    {"Access Date", Date},
    {"Owner", Text},
    {"Attributes", Integer},
    {"Parent ID", Integer},
}};

constexpr std::array<ColumnDef, 6> kUserVolumeColumns{{
    {"UV ID", Integer},
    {"Location", Text},
    {"UserName", Text},
    {"Password", Text},
    {"Flags", Integer},
    {"Port", Integer},
}};

constexpr std::array<IndexDef, 1> kFolderIndexes{{{"Folder Parent ID", "Parent ID"}}};
constexpr std::array<IndexDef, 1> kFileIndexes{{{"Folder ID", "Parent ID"}}};

const TableDef kComputer{"Computer", kComputerColumns, "Computer ID", {}};
const TableDef kVolume{"Volume", kVolumeColumns, "Volume ID", {}};
const TableDef kFolder{"Folder", kFolderColumns, "Folder ID", kFolderIndexes};
const TableDef kFile{"File", kFileColumns, "File ID", kFileIndexes};
const TableDef kUserVolumes{"User Volumes", kUserVolumeColumns, "UV ID", {}};

const std::array<const TableDef*, 5> kTables{&kComputer, &kVolume, &kFolder, &kFile, &kUserVolumes};

const char* SqlTypeName(ColumnType type) {
    switch (type) {
        case Integer:
            return "INTEGER";
        case Double:
        case Date:
            return "REAL";
        default:
            return "TEXT";
    }
}

std::string CreateTableSql(const TableDef& table) {
    std::string sql = "CREATE TABLE " + QuoteSqlName(table.name) + "(";
    bool first = true;
    for (const ColumnDef& column : table.columns) {
        if (!first) {
            sql += ", ";
        }
        first = false;
        sql += QuoteSqlName(column.name);
        sql += ' ';
        sql += SqlTypeName(column.type);
        if (column.name == table.key_column) {
            sql += " PRIMARY KEY";
            // User volume numbers are never handed out twice, even after a delete.
            if (&table == &kUserVolumes) {
                sql += " AUTOINCREMENT";
            }
        }
    }
    sql += ");\n";
    for (const IndexDef& index : table.indexes) {
        sql += "CREATE INDEX " + QuoteSqlName(index.name) + " ON " + QuoteSqlName(table.name) + "(" +
               QuoteSqlName(index.column) + ");\n";
    }
    return sql;
}

std::string FolderOf(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

bool BuildSchema(const std::string& path, std::string& error) {
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    SqliteConnection db(raw);
    if (rc != SQLITE_OK) {
        error = raw != nullptr ? SqliteMessage(raw) : sqlite3_errstr(rc);
        return false;
    }
    if (!ExecuteSql(db.get(), "BEGIN", &error) || !CreateCatalogueSchema(db.get(), error) ||
        !ExecuteSql(db.get(), "COMMIT; PRAGMA journal_mode=WAL;", &error)) {
        return false;
    }
    db.reset();
    return true;
}

}  // namespace

bool CreateCatalogueSchema(sqlite3* db, std::string& error) {
    std::string sql;
    for (const TableDef* table : kTables) {
        sql += CreateTableSql(*table);
    }
    sql += "CREATE TABLE " + QuoteSqlName(kStoredQueriesTable) +
           "(\"Name\" TEXT NOT NULL UNIQUE COLLATE NOCASE, \"SQL\" TEXT);\n";
    if (!ExecuteSql(db, sql.c_str(), &error)) {
        return false;
    }
    SqlStatement insert;
    if (!insert.Prepare(db, "INSERT INTO \"Stored Queries\"(\"Name\", \"SQL\") VALUES (?, ?)", &error)) {
        return false;
    }
    const std::pair<std::string_view, std::string> queries[] = {
        {kFetchVolumeQuery, FetchVolumeByIdSql(0)},
        {kFetchFolderQuery, FetchFolderByIdSql(0)},
        {kFetchFileQuery, FetchFileByIdSql(0)},
    };
    for (const auto& [name, text] : queries) {
        if (!insert.BindText(1, name) || !insert.BindText(2, text) || insert.Step() != SQLITE_DONE) {
            error = SqliteMessage(db);
            return false;
        }
        insert.Reset();
    }
    return true;
}

int TableDef::ColumnIndex(std::string_view column) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == column) {
            return static_cast<int>(i);
        }
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (EqualsNoCase(columns[i].name, column)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const TableDef& ComputerTable() {
    return kComputer;
}
const TableDef& VolumeTable() {
    return kVolume;
}
const TableDef& FolderTable() {
    return kFolder;
}
const TableDef& FileTable() {
    return kFile;
}
const TableDef& UserVolumesTable() {
    return kUserVolumes;
}

std::span<const TableDef* const> CatalogueTables() {
    return kTables;
}

ColumnType ColumnTypeOfName(std::string_view column_name) {
    for (const TableDef* table : kTables) {
        int index = table->ColumnIndex(column_name);
        if (index >= 0) {
            return table->columns[static_cast<std::size_t>(index)].type;
        }
    }
    return ColumnType::None;
}

bool CreateEmptyCatalogue(const std::string& path, std::string& error) {
    if (path.empty()) {
        error = "No catalogue file name was given.";
        return false;
    }
    if (IsPostgresUri(path)) {
        return CreateServerCatalogue(path, error);
    }
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
        error = "The file " + path + " already exists.";
        return false;
    }
    // Built under another name and linked into place, so a half-made catalogue
    // never carries the real name and an existing file is never replaced.
    const std::string building = path + ".creating";
    RemoveDatabaseFiles(building);
    if (!BuildSchema(building, error) || !SyncPath(building, O_RDONLY)) {
        if (error.empty()) {
            error = "The new catalogue could not be written.";
        }
        RemoveDatabaseFiles(building);
        return false;
    }
    if (::link(building.c_str(), path.c_str()) != 0) {
        int code = errno;
        error = code == EEXIST ? "The file " + path + " already exists."
                               : "The catalogue " + path + " could not be created: " + std::strerror(code);
        RemoveDatabaseFiles(building);
        return false;
    }
    RemoveDatabaseFiles(building);
    SyncPath(FolderOf(path), O_RDONLY | O_DIRECTORY);
    return true;
}

bool VerifyCatalogueSchema(sqlite3* db, std::string& error) {
    SqlStatement info;
    if (!info.Prepare(db, "SELECT name, type, pk FROM pragma_table_info(?1)", &error)) {
        return false;
    }
    auto read_columns = [&](std::string_view table, std::vector<std::string>& names, std::string& key,
                            std::string& key_type, int& key_count) -> bool {
        info.Reset();
        if (!info.BindText(1, table)) {
            error = SqliteMessage(db);
            return false;
        }
        int rc;
        while ((rc = info.Step()) == SQLITE_ROW) {
            names.emplace_back(info.ColumnText(0));
            if (info.ColumnInt(2) != 0) {
                ++key_count;
                key = names.back();
                key_type = std::string(info.ColumnText(1));
            }
        }
        if (rc != SQLITE_DONE) {
            error = SqliteMessage(db);
            return false;
        }
        return true;
    };
    auto has_column = [](const std::vector<std::string>& names, std::string_view column) {
        for (const std::string& name : names) {
            if (EqualsNoCase(name, column)) {
                return true;
            }
        }
        return false;
    };

    for (const TableDef* table : kTables) {
        std::vector<std::string> names;
        std::string key, key_type;
        int key_count = 0;
        if (!read_columns(table->name, names, key, key_type, key_count)) {
            return false;
        }
        if (names.empty()) {
            error = "The catalogue has no table \"" + std::string(table->name) + "\".";
            return false;
        }
        for (const ColumnDef& column : table->columns) {
            if (!has_column(names, column.name)) {
                error = "The table \"" + std::string(table->name) + "\" has no column \"" +
                        std::string(column.name) + "\".";
                return false;
            }
        }
        if (key_count != 1 || !EqualsNoCase(key, table->key_column) || !EqualsNoCase(key_type, "INTEGER")) {
            error = "The table \"" + std::string(table->name) + "\" is not keyed by \"" +
                    std::string(table->key_column) + "\".";
            return false;
        }
        SqlStatement rowid_check;
        std::string ignored;
        if (!rowid_check.Prepare(db, "SELECT rowid FROM " + QuoteSqlName(table->name) + " LIMIT 0",
                                 &ignored)) {
            error = "The table \"" + std::string(table->name) + "\" is not keyed by \"" +
                    std::string(table->key_column) + "\".";
            return false;
        }
    }
    std::vector<std::string> names;
    std::string key, key_type;
    int key_count = 0;
    if (!read_columns(kStoredQueriesTable, names, key, key_type, key_count)) {
        return false;
    }
    if (!has_column(names, "Name") || !has_column(names, "SQL")) {
        error = "The catalogue has no table \"Stored Queries\".";
        return false;
    }
    return true;
}

}  // namespace korvane
