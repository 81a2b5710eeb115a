// The catalogue's tables on a PostgreSQL server.
#pragma once

#include <string>

#include "catalogue/pg_connection.h"

namespace korvane {

// any: whether the database holds any of the catalogue's tables.
bool ServerHasCatalogueTables(PgConnection& pg, bool& any, std::string& error);
// True when every table and column of the catalogue is there; error says
// what is missing.
bool VerifyServerCatalogueSchema(PgConnection& pg, std::string& error);
// Creates every table, index and stored query in a database that has none of
// them, in one transaction (outside any other).
bool CreateServerCatalogueSchema(PgConnection& pg, std::string& error);

// A new catalogue in the empty database a URI names; refused (false, with
// the reason) when the database holds catalogue tables already.
bool CreateServerCatalogue(const std::string& uri, std::string& error);

}  // namespace korvane
