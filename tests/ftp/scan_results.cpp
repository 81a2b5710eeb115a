#include "scan_results.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <set>

#include "app/event_log.h"
#include "support/temp_dir.h"

namespace korvane::testing {

std::vector<Row> QueryRows(const std::string& db_path, const std::string& sql) {
    std::vector<Row> rows;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << db_path << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db);
        sqlite3_close(db);
        return rows;
    }
    while (sqlite3_step(statement) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            Cell cell;
            const int type = sqlite3_column_type(statement, i);
            cell.null = type == SQLITE_NULL;
            cell.integer = sqlite3_column_int64(statement, i);
            cell.real = sqlite3_column_double(statement, i);
            if (type == SQLITE_TEXT || type == SQLITE_BLOB) {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, i));
                cell.text.assign(bytes ? bytes : "",
                                 static_cast<std::size_t>(sqlite3_column_bytes(statement, i)));
            }
            row[sqlite3_column_name(statement, i)] = cell;
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}

CatalogueRows ReadCatalogueRows(const std::string& db_path) {
    CatalogueRows rows;
    for (Row& row : QueryRows(db_path, "SELECT * FROM \"Folder\""))
        rows.folders[row["Folder ID"].integer] = std::move(row);
    for (Row& row : QueryRows(db_path, "SELECT * FROM \"File\""))
        rows.files[row["File ID"].integer] = std::move(row);
    rows.volumes = QueryRows(db_path, "SELECT * FROM \"Volume\" ORDER BY \"Volume ID\"");
    const std::vector<Row> computers = QueryRows(db_path, "SELECT * FROM \"Computer\"");
    if (!computers.empty())
        rows.computer = computers.front();
    return rows;
}

std::string FolderPath(const CatalogueRows& rows, std::int64_t folder_id) {
    auto found = rows.folders.find(folder_id);
    if (found == rows.folders.end())
        return "(missing folder " + std::to_string(folder_id) + ")";
    const Row& row = found->second;
    const std::int64_t parent = row.at("Parent ID").integer;
    if (parent == 0)
        return row.at("Name").text;
    return FolderPath(rows, parent) + "/" + row.at("Name").text;
}

std::vector<std::string> NumberingProblems(const CatalogueRows& rows) {
    std::map<std::int64_t, std::set<std::int64_t>> below;
    for (const auto& [id, row] : rows.folders) {
        std::int64_t parent = row.at("Parent ID").integer;
        int guard = 0;
        while (parent != 0 && ++guard < 100000) {
            below[parent].insert(id);
            auto up = rows.folders.find(parent);
            if (up == rows.folders.end())
                break;
            parent = up->second.at("Parent ID").integer;
        }
    }
    std::vector<std::string> problems;
    for (const auto& [id, row] : rows.folders) {
        const std::int64_t count = row.at("Folders").integer;
        std::set<std::int64_t> expected;
        for (std::int64_t next = id + 1; next <= id + count; ++next)
            expected.insert(next);
        if (below[id] != expected)
            problems.push_back("folder " + std::to_string(id) + " (" + FolderPath(rows, id) + ") has " +
                               std::to_string(below[id].size()) + " folders below it, Folders says " +
                               std::to_string(count));
    }
    return problems;
}

std::vector<std::string> EventLogLines(const std::string& log_path) {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(log_path);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find("\r\n", at);
        EventRow row;
        if (ParseEventLine(text.substr(at, end == std::string::npos ? std::string::npos : end - at), row))
            lines.push_back(row.source + " | " + row.type + " | " + row.message);
        at = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

}  // namespace korvane::testing
