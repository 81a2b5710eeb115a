// Where a build on a PostgreSQL server writes its rows.
//
// Emptying the catalogue's tables in place and refilling them costs the
// server a delete of every previous row and an index update per new row. A
// build therefore writes into new tables of a schema of its own, first in its
// connection's search path, so every statement of the build finds them under
// the usual names and nothing else needs to know; other connections do not
// see them. Once every row is in, the keys and indexes are built in one pass
// each, and the new tables take the place of the previous ones: the swap
// holds the tables' exclusive locks only for that moment, after running
// readers let go, and the commit shows the new catalogue. Readers see the
// previous catalogue until then; a rollback (an error, a kill, a lost
// connection) drops the new tables with the schema. (A reader's transaction
// that took its snapshot before the commit without reading any of the four
// tables, and reads one only after it, finds that table empty: its snapshot
// does not see the build's rows. The catalogue's own readers read the tables
// with their first statement.)
#pragma once

#include <string>

#include "catalogue/pg_connection.h"

namespace korvane {

struct ServerBuildTables {
    bool shadowing = false;  // the build writes into new tables
    std::string home;        // the catalogue's own schema, by name
};

// In the build's transaction: makes the new, empty tables and puts them
// first in the search path. False, with nothing changed, when they cannot be
// used: the previous tables are not all plain tables that this role owns,
// they hold more than the catalogue's own keys and indexes (an
// administrator's index, trigger, constraint, policy or column, which new
// tables would not have), or the role may not create a schema. The build
// then empties the tables in place.
bool ShadowCatalogueTables(PgConnection& pg, ServerBuildTables& build);

// Builds the new tables' keys and indexes, gathers their planner figures and
// puts them in place of the previous ones, with the previous ones' owner and
// privileges. Waits up to wait_ms for readers to let go of the previous
// tables; when they do not (or the previous tables cannot be dropped, as when
// a view of the administrator's depends on them), copies the new rows into
// the previous tables instead, which readers do not wait for. False (error
// set) when the server refused the rows; the caller then rolls back.
bool PutShadowTablesInPlace(PgConnection& pg, const ServerBuildTables& build, int wait_ms,
                            std::string& error);

}  // namespace korvane
