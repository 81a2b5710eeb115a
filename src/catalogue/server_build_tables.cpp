#include "catalogue/server_build_tables.h"

#include <array>
#include <chrono>
#include <thread>

#include "catalogue/pg_text.h"
#include "catalogue/schema.h"

namespace korvane {
namespace {

constexpr std::string_view kShadowSchema = "korvane build";
// Each try for the previous tables' locks gives up after this long, well
// before the server looks for deadlocks (after one second by default): a
// reader that wants a table the swap holds while the swap waits for one the
// reader holds is thus never the one cancelled, and readers that come after
// the swap asked wait no longer than this.
constexpr const char* kLockTryTimeout = "'100ms'";
constexpr auto kPauseBetweenTries = std::chrono::milliseconds(50);

std::array<const TableDef*, 4> BuildTables() {
    return {&ComputerTable(), &VolumeTable(), &FolderTable(), &FileTable()};
}

std::string Qualified(std::string_view schema, const TableDef& table) {
    return QuotePgName(schema) + "." + QuotePgName(table.name);
}

// The build tables' names, as an SQL list of literals.
std::string BuildTableNames() {
    std::string names;
    for (const TableDef* table : BuildTables()) {
        names += (names.empty() ? "" : ", ") + PgTextLiteral(table->name);
    }
    return names;
}

// The catalogue's own index, key and column names of the build tables, as
// SQL lists of literals.
std::string IndexNames() {
    std::string names;
    for (const TableDef* table : BuildTables()) {
        for (const IndexDef& index : table->indexes) {
            names += (names.empty() ? "" : ", ") + PgTextLiteral(index.name);
        }
    }
    return names.empty() ? "''" : names;
}

std::string KeyNames() {
    std::string names;
    for (const TableDef* table : BuildTables()) {
        names += (names.empty() ? "" : ", ") + PgTextLiteral(table->key_column);
    }
    return names;
}

std::string ColumnNames() {
    std::string names;
    for (const TableDef* table : BuildTables()) {
        for (const ColumnDef& column : table->columns) {
            names += (names.empty() ? "" : ", ") + PgTextLiteral(column.name);
        }
    }
    return names;
}

std::string ColumnList(const TableDef& table) {
    std::string columns;
    for (const ColumnDef& column : table.columns) {
        columns += (columns.empty() ? "" : ", ") + QuotePgName(column.name);
    }
    return columns;
}

// Runs statements as one step: when any fails, none of them took effect and
// the transaction goes on.
bool RunAsOneStep(PgConnection& pg, const std::string& sql, std::string& error) {
    if (!pg.Execute("SAVEPOINT korvane_build_step", &error)) {
        return false;
    }
    if (pg.Execute(sql, &error)) {
        return pg.Execute("RELEASE SAVEPOINT korvane_build_step", &error);
    }
    pg.Execute("ROLLBACK TO SAVEPOINT korvane_build_step; RELEASE SAVEPOINT korvane_build_step");
    return false;
}

// The statements that give the new tables, once in place, the previous
// tables' owners and the privileges granted on them and their columns.
bool PrivilegeStatements(PgConnection& pg, const std::string& home, std::string& sql, std::string& error) {
    PgResult rows = pg.Run(
        "WITH previous AS (SELECT c.oid, n.nspname, c.relname, c.relowner, c.relacl FROM pg_class c JOIN "
        "pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = $1 AND c.relname IN (" +
            BuildTableNames() +
            ")) "
            "SELECT 0, format('ALTER TABLE %I.%I OWNER TO %I', nspname, relname, pg_get_userbyid(relowner)) "
            "FROM previous WHERE pg_get_userbyid(relowner) <> current_user "
            "UNION ALL SELECT 1, format('GRANT %s ON %I.%I TO %s%s', a.privilege_type, p.nspname, p.relname, "
            "CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(pg_get_userbyid(a.grantee)) END, "
            "CASE WHEN a.is_grantable THEN ' WITH GRANT OPTION' ELSE '' END) "
            "FROM previous p CROSS JOIN LATERAL aclexplode(p.relacl) a WHERE a.grantee <> p.relowner "
            "UNION ALL SELECT 2, format('GRANT %s (%I) ON %I.%I TO %s%s', a.privilege_type, t.attname, "
            "p.nspname, p.relname, CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE "
            "quote_ident(pg_get_userbyid(a.grantee)) END, CASE WHEN a.is_grantable THEN ' WITH GRANT OPTION' "
            "ELSE '' END) FROM previous p JOIN pg_attribute t ON t.attrelid = p.oid AND t.attnum > 0 AND NOT "
            "t.attisdropped CROSS JOIN LATERAL aclexplode(t.attacl) a WHERE a.grantee <> p.relowner "
            "ORDER BY 1",
        {home.c_str()}, error);
    if (!rows) {
        return false;
    }
    for (int row = 0; row < PQntuples(rows.get()); ++row) {
        sql += std::string(PQgetvalue(rows.get(), row, 1)) + ";\n";
    }
    return true;
}

// Takes the previous tables' exclusive locks and puts the new tables in
// their place. locked: whether the locks were had (a failure after that is
// not one another try would mend).
bool TrySwap(PgConnection& pg, const std::string& lock, const std::string& swap, bool& locked,
             std::string& error) {
    locked = false;
    if (!pg.Execute("SAVEPOINT korvane_swap", &error)) {
        return false;
    }
    locked = pg.Execute(lock, &error);
    if (locked && pg.Execute(swap, &error)) {
        return pg.Execute("RELEASE SAVEPOINT korvane_swap", &error);
    }
    pg.Execute("ROLLBACK TO SAVEPOINT korvane_swap; RELEASE SAVEPOINT korvane_swap");
    return false;
}

}  // namespace

bool ShadowCatalogueTables(PgConnection& pg, ServerBuildTables& build) {
    build = ServerBuildTables{};
    std::string error;
    // Only the catalogue's own keys and indexes are made on the new tables,
    // so tables that an administrator gave more (an index, a trigger, a
    // constraint, a policy, a column) are refilled in place instead.
    PgResult home = pg.Run(
        "SELECT current_schema(), (SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = "
        "c.relnamespace WHERE n.nspname = current_schema() AND c.relkind = 'r' AND pg_has_role(c.relowner, "
        "'USAGE') AND c.relname IN (" +
            BuildTableNames() +
            ") AND NOT c.relrowsecurity "
            "AND NOT EXISTS (SELECT 1 FROM pg_index i JOIN pg_class x ON x.oid = i.indexrelid WHERE "
            "i.indrelid "
            "= c.oid AND x.relname NOT IN (c.relname || '_pkey', " +
            IndexNames() +
            ")) "
            "AND NOT EXISTS (SELECT 1 FROM pg_trigger t WHERE t.tgrelid = c.oid AND NOT t.tgisinternal) "
            "AND NOT EXISTS (SELECT 1 FROM pg_constraint k WHERE k.conrelid = c.oid AND k.contype <> 'p') "
            "AND NOT EXISTS (SELECT 1 FROM pg_policy p WHERE p.polrelid = c.oid) "
            "AND NOT EXISTS (SELECT 1 FROM pg_attribute a WHERE a.attrelid = c.oid AND a.attnum > 0 AND NOT "
            "a.attisdropped AND (a.atthasdef OR a.attnotnull AND a.attname NOT IN (" +
            KeyNames() + ") OR a.attname NOT IN (" + ColumnNames() + "))))",
        {}, error);
    if (!home || PQntuples(home.get()) != 1 || PQgetisnull(home.get(), 0, 0) ||
        std::string_view(PQgetvalue(home.get(), 0, 1)) != std::to_string(BuildTables().size())) {
        return false;
    }
    const std::string home_name = PQgetvalue(home.get(), 0, 0);
    std::string sql = "CREATE SCHEMA " + QuotePgName(kShadowSchema) + ";\n";
    for (const TableDef* table : BuildTables()) {
        sql += PostgresBareTableSql(*table, Qualified(kShadowSchema, *table)) + ";\n";
    }
    sql += "SELECT set_config('search_path', " + PgTextLiteral(QuotePgName(kShadowSchema) + ", ") +
           " || current_setting('search_path'), true)";
    if (!RunAsOneStep(pg, sql, error)) {
        return false;
    }
    build.shadowing = true;
    build.home = home_name;
    return true;
}

bool PutShadowTablesInPlace(PgConnection& pg, const ServerBuildTables& build, int wait_ms,
                            std::string& error) {
    // Keys and indexes built from the whole table each, and the figures the
    // planner needs for the first queries.
    std::string sql;
    for (const TableDef* table : BuildTables()) {
        sql += PostgresTableKeysSql(*table, Qualified(kShadowSchema, *table));
    }
    sql += "ANALYZE " + Qualified(kShadowSchema, VolumeTable()) + ", " +
           Qualified(kShadowSchema, FolderTable()) + ", " + Qualified(kShadowSchema, FileTable());
    std::string privileges;
    if (!pg.Execute(sql, &error) || !PrivilegeStatements(pg, build.home, privileges, error)) {
        return false;
    }
    std::string previous, swap = "SET LOCAL lock_timeout = 0;\nDROP TABLE ";
    for (const TableDef* table : BuildTables()) {
        previous += (previous.empty() ? "" : ", ") + Qualified(build.home, *table);
    }
    swap += previous + ";\n";
    for (const TableDef* table : BuildTables()) {
        swap += "ALTER TABLE " + Qualified(kShadowSchema, *table) + " SET SCHEMA " + QuotePgName(build.home) +
                ";\n";
    }
    swap += "DROP SCHEMA " + QuotePgName(kShadowSchema) + ";\n" + privileges;
    const std::string lock = "SET LOCAL lock_timeout = " + std::string(kLockTryTimeout) + ";\nLOCK TABLE " +
                             previous + " IN ACCESS EXCLUSIVE MODE";
    error.clear();
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        bool locked = false;
        if (TrySwap(pg, lock, swap, locked, error)) {
            return true;
        }
        if (!pg.Alive()) {
            return false;
        }
        if (locked || std::chrono::steady_clock::now() >= give_up) {
            break;
        }
        std::this_thread::sleep_for(kPauseBetweenTries);
    }
    // The new rows are copied into the previous tables instead; their
    // readers go on seeing what their snapshots hold.
    sql.clear();
    for (const TableDef* table : BuildTables()) {
        const std::string columns = ColumnList(*table);
        sql += "DELETE FROM " + Qualified(build.home, *table) + ";\nINSERT INTO " +
               Qualified(build.home, *table) + " (" + columns + ") SELECT " + columns + " FROM " +
               Qualified(kShadowSchema, *table) + ";\n";
    }
    sql += "DROP SCHEMA " + QuotePgName(kShadowSchema) + " CASCADE;\nANALYZE " +
           Qualified(build.home, VolumeTable()) + ", " + Qualified(build.home, FolderTable()) + ", " +
           Qualified(build.home, FileTable());
    return pg.Execute(sql, &error);
}

}  // namespace korvane
