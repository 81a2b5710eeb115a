// The catalogue's tables on a PostgreSQL server: checked when the catalogue
// opens, created in a database that has none.
#include "catalogue/server_schema.h"

#include <vector>

#include "app/text_helpers.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"

namespace korvane {

namespace {

// The columns of a table of the connection's current schema, or none.
bool ReadServerColumns(PgConnection& pg, std::string_view table, std::vector<std::string>& names,
                       std::string& error) {
    SqlStatement columns;
    if (!columns.Prepare(&pg,
                         "SELECT column_name FROM information_schema.columns WHERE table_schema = "
                         "current_schema() AND table_name = ?1 ORDER BY ordinal_position",
                         &error) ||
        !columns.BindText(1, table)) {
        return false;
    }
    int rc;
    while ((rc = columns.Step()) == SQLITE_ROW) {
        names.emplace_back(columns.ColumnText(0));
    }
    if (rc != SQLITE_DONE) {
        error = columns.Message();
        return false;
    }
    return true;
}

bool HasColumn(const std::vector<std::string>& names, std::string_view column) {
    for (const std::string& name : names) {
        if (EqualsNoCase(name, column)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ServerHasCatalogueTables(PgConnection& pg, bool& any, std::string& error) {
    std::vector<std::string> names;
    any = false;
    for (const TableDef* table : CatalogueTables()) {
        names.clear();
        if (!ReadServerColumns(pg, table->name, names, error)) {
            return false;
        }
        any = any || !names.empty();
    }
    names.clear();
    if (!ReadServerColumns(pg, kStoredQueriesTable, names, error)) {
        return false;
    }
    any = any || !names.empty();
    return true;
}

bool VerifyServerCatalogueSchema(PgConnection& pg, std::string& error) {
    for (const TableDef* table : CatalogueTables()) {
        std::vector<std::string> names;
        if (!ReadServerColumns(pg, table->name, names, error)) {
            return false;
        }
        if (names.empty()) {
            error = "The catalogue has no table \"" + std::string(table->name) + "\".";
            return false;
        }
        for (const ColumnDef& column : table->columns) {
            if (!HasColumn(names, column.name)) {
                error = "The table \"" + std::string(table->name) + "\" has no column \"" +
                        std::string(column.name) + "\".";
                return false;
            }
        }
    }
    std::vector<std::string> names;
    if (!ReadServerColumns(pg, kStoredQueriesTable, names, error)) {
        return false;
    }
    if (!HasColumn(names, "Name") || !HasColumn(names, "SQL")) {
        error = "The catalogue has no table \"Stored Queries\".";
        return false;
    }
    return true;
}

bool CreateServerCatalogueSchema(PgConnection& pg, std::string& error) {
    // Two programs starting on one empty database at once: the second waits
    // for the first, then finds the tables made.
    if (!pg.Execute("BEGIN; SELECT pg_advisory_xact_lock(7175161530)", &error)) {
        pg.Execute("ROLLBACK");
        return false;
    }
    bool any = false;
    if (!ServerHasCatalogueTables(pg, any, error) ||
        (!any && !pg.Execute(PostgresCatalogueSchemaSql(), &error)) || !pg.Execute("COMMIT", &error)) {
        pg.Execute("ROLLBACK");
        return false;
    }
    return true;
}

bool CreateServerCatalogue(const std::string& uri, std::string& error) {
    PgConnection pg;
    bool any = false;
    if (!pg.Connect(uri, error) || !ServerHasCatalogueTables(pg, any, error)) {
        return false;
    }
    if (any) {
        error = "The database already holds a catalogue.";
        return false;
    }
    return CreateServerCatalogueSchema(pg, error);
}

}  // namespace korvane
