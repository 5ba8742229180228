#pragma once
// The line's database: every station's records in three tables, made by the first station that
// connects and versioned, so that a station of an older program never writes into tables it
// does not know.
#include <string>

#include "records/pg_connection.h"
#include "records/station.h"

inline constexpr int kCentralSchemaVersion = 1;

enum class SchemaCheck {
  Ready,  // the tables of this version are there (made now or before)
  Newer,  // made by a newer program: left alone
  Failed  // the server refused (no right to create the tables, a lost connection, ...)
};

// Makes the tables when the database has none (under an advisory lock, so that stations that
// start together make them once) and checks the version. `reason` says why when not Ready.
SchemaCheck EnsureCentralSchema(PgConnection& pg, std::string& reason);

// Adds the station, or updates its host, program version and last_seen.
bool RegisterStation(PgConnection& pg, const StationInfo& station);
