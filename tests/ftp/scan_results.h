// What an FTP scan or download leaves behind, as the tests check it: the
// rows of the catalogue file (read with a connection of their own, so what
// is checked is what was committed) and the lines of the event log.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace korvane::testing {

struct Cell {
    bool null = true;
    std::int64_t integer = 0;
    double real = 0.0;
    std::string text;
};

using Row = std::map<std::string, Cell>;

// Every row of the statement's answer; a failed statement fails the test.
std::vector<Row> QueryRows(const std::string& db_path, const std::string& sql);

struct CatalogueRows {
    std::map<std::int64_t, Row> folders;  // by Folder ID
    std::map<std::int64_t, Row> files;    // by File ID
    std::vector<Row> volumes;             // by Volume ID
    Row computer;
};

CatalogueRows ReadCatalogueRows(const std::string& db_path);

// The folder's full path: the root folder's Name, then "/" and each name.
std::string FolderPath(const CatalogueRows& rows, std::int64_t folder_id);

// Problems with the numbering every query relies on: the folders below
// folder X are exactly X+1 .. X+Folders(X); empty when it holds.
std::vector<std::string> NumberingProblems(const CatalogueRows& rows);

// Each line of Event.log as "source | type | message"; none when it is missing.
std::vector<std::string> EventLogLines(const std::string& log_path);

}  // namespace korvane::testing
