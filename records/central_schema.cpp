#include "records/central_schema.h"

namespace {
// Any constant shared by every station: the lock that serialises the first creation.
constexpr const char* kSchemaLock = "SELECT pg_advisory_xact_lock(7402917153208433)";

// No foreign keys: the server checks one row by one, which cost more than the rest of a push.
// The pusher keeps what they would: a station's row is written before its records, and a
// record and its steps go in one transaction.
constexpr const char* kCreateTables = R"sql(
CREATE TABLE trail_schema (version integer NOT NULL);
CREATE TABLE stations (
  station_id text PRIMARY KEY,
  host text NOT NULL,
  program_version text NOT NULL,
  first_seen timestamptz NOT NULL DEFAULT now(),
  last_seen timestamptz NOT NULL DEFAULT now()
);
CREATE TABLE part_records (
  station_id text NOT NULL,
  record_id text NOT NULL,
  time timestamptz NOT NULL,
  site smallint NOT NULL,
  unit_id bigint NOT NULL,
  project_file text NOT NULL,
  data_crc text NOT NULL,
  manufacturer text NOT NULL,
  part_number text NOT NULL,
  sockets smallint NOT NULL,
  run_result smallint NOT NULL,
  run_verdict smallint NOT NULL,
  socket1_verdict smallint NOT NULL,
  socket2_verdict smallint NOT NULL,
  socket3_verdict smallint NOT NULL,
  socket4_verdict smallint NOT NULL,
  pass boolean NOT NULL,
  elapsed_ms bigint NOT NULL,
  PRIMARY KEY (station_id, record_id)
);
CREATE INDEX part_records_by_time ON part_records (time);
CREATE INDEX part_records_by_part ON part_records (part_number, time);
CREATE TABLE part_steps (
  station_id text NOT NULL,
  record_id text NOT NULL,
  position integer NOT NULL,
  code integer NOT NULL,
  name text NOT NULL,
  result smallint NOT NULL,
  duration_ms bigint NOT NULL,
  PRIMARY KEY (station_id, record_id, position)
);
)sql";

// -1: no tables yet. The catalog is read as a table, not through the name lookup, whose cache
// would not see the tables another station has just made while this one waited for the lock.
bool ReadVersion(PgConnection& pg, int& version) {
  PgResult rows;
  if (!pg.Query("SELECT EXISTS (SELECT 1 FROM pg_catalog.pg_tables "
                "WHERE schemaname = current_schema() AND tablename = 'trail_schema')",
                {}, rows)) {
    return false;
  }
  if (rows.Text(0, 0) != "t") {
    version = -1;
    return true;
  }
  if (!pg.Query("SELECT coalesce(max(version), 0) FROM trail_schema", {}, rows)) return false;
  version = static_cast<int>(rows.Int(0, 0));
  return true;
}

bool Create(PgConnection& pg, int& version) {
  const bool made = pg.Exec("BEGIN") && pg.Exec(kSchemaLock) && ReadVersion(pg, version) &&
                    (version >= 0 || (pg.Exec(kCreateTables) &&
                                      pg.Exec("INSERT INTO trail_schema VALUES (" +
                                              std::to_string(kCentralSchemaVersion) + ")"))) &&
                    pg.Exec("COMMIT");
  if (!made) {
    pg.RollbackIfOpen();  // keeps the failure's message
    return false;
  }
  if (version < 0) version = kCentralSchemaVersion;
  return true;
}
}  // namespace

SchemaCheck EnsureCentralSchema(PgConnection& pg, std::string& reason) {
  int version = -1;
  // The common case takes no lock: the tables are there.
  bool ok = ReadVersion(pg, version);
  if (ok && version < 0) ok = Create(pg, version);
  if (!ok) {
    reason = pg.Error();
    return SchemaCheck::Failed;
  }
  if (version > kCentralSchemaVersion) {
    reason = "the line's database has trail schema version " + std::to_string(version) +
             ", this program knows version " + std::to_string(kCentralSchemaVersion) +
             " and leaves it alone";
    return SchemaCheck::Newer;
  }
  if (version < kCentralSchemaVersion) {
    reason = "the line's database holds a table trail_schema without a version";
    return SchemaCheck::Failed;
  }
  return SchemaCheck::Ready;
}

bool RegisterStation(PgConnection& pg, const StationInfo& station) {
  PgResult rows;
  return pg.Query(
      "INSERT INTO stations (station_id, host, program_version) VALUES ($1, $2, $3) "
      "ON CONFLICT (station_id) DO UPDATE SET host = excluded.host, "
      "program_version = excluded.program_version, last_seen = now()",
      {station.Id, station.Host, station.ProgramVersion}, rows);
}
