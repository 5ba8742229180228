#include "records/record_store.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

#include "records/sqlite_statement.h"

namespace {

constexpr const char* kCreateSchema = R"sql(
CREATE TABLE part_records (
  id INTEGER PRIMARY KEY,
  record_id TEXT NOT NULL UNIQUE,
  time TEXT NOT NULL,
  site INTEGER NOT NULL CHECK (site BETWEEN 1 AND 8),
  unit_id INTEGER NOT NULL,
  project_file TEXT NOT NULL,
  data_crc TEXT NOT NULL,
  manufacturer TEXT NOT NULL,
  part_number TEXT NOT NULL,
  sockets INTEGER NOT NULL,
  run_result INTEGER NOT NULL,
  run_verdict INTEGER NOT NULL,
  socket1_verdict INTEGER NOT NULL,
  socket2_verdict INTEGER NOT NULL,
  socket3_verdict INTEGER NOT NULL,
  socket4_verdict INTEGER NOT NULL,
  pass INTEGER NOT NULL,
  elapsed_ms INTEGER NOT NULL
);
CREATE INDEX part_records_by_time ON part_records (time);
CREATE TABLE part_steps (
  record INTEGER NOT NULL REFERENCES part_records (id) ON DELETE CASCADE,
  position INTEGER NOT NULL,
  code INTEGER NOT NULL,
  name TEXT NOT NULL,
  result INTEGER NOT NULL,
  duration_ms INTEGER NOT NULL,
  PRIMARY KEY (record, position)
) WITHOUT ROWID;
)sql";

// Version 2: how far each shipping target has the records (the last local id it holds).
constexpr const char* kCreateShipMarks = R"sql(
CREATE TABLE ship_marks (
  target TEXT PRIMARY KEY,
  shipped_id INTEGER NOT NULL
);
)sql";

constexpr const char* kInsertRecord = R"sql(
INSERT INTO part_records (record_id, time, site, unit_id, project_file, data_crc, manufacturer,
  part_number, sockets, run_result, run_verdict, socket1_verdict, socket2_verdict,
  socket3_verdict, socket4_verdict, pass, elapsed_ms)
VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)
ON CONFLICT (record_id) DO NOTHING
)sql";

constexpr const char* kInsertStep =
    "INSERT INTO part_steps (record, position, code, name, result, duration_ms) "
    "VALUES (?, ?, ?, ?, ?, ?)";

constexpr const char* kSelectRecords = R"sql(
SELECT id, record_id, time, site, unit_id, project_file, data_crc, manufacturer, part_number,
  sockets, run_result, run_verdict, socket1_verdict, socket2_verdict, socket3_verdict,
  socket4_verdict, pass, elapsed_ms
FROM part_records WHERE time >= ? ORDER BY time, id
)sql";

constexpr const char* kSelectAfter = R"sql(
SELECT id, record_id, time, site, unit_id, project_file, data_crc, manufacturer, part_number,
  sockets, run_result, run_verdict, socket1_verdict, socket2_verdict, socket3_verdict,
  socket4_verdict, pass, elapsed_ms
FROM part_records WHERE id > ? ORDER BY id LIMIT ?
)sql";

constexpr const char* kSelectStepRange =
    "SELECT record, code, name, result, duration_ms FROM part_steps "
    "WHERE record BETWEEN ? AND ? ORDER BY record, position";

constexpr const char* kSelectSteps =
    "SELECT code, name, result, duration_ms FROM part_steps WHERE record = ? ORDER BY position";

StoreStatus Classify(int code) {
  switch (code & 0xFF) {
    case SQLITE_OK:
      return StoreStatus::Ok;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return StoreStatus::Locked;
    case SQLITE_FULL:
      return StoreStatus::Full;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return StoreStatus::Damaged;
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_READONLY:
      return StoreStatus::CannotOpen;
    default:
      return StoreStatus::Failed;
  }
}

void BindRecord(SqliteStatement& insert, const PartRecord& r) {
  insert.Bind(1, r.RecordId);
  insert.Bind(2, r.Time);
  insert.Bind(3, r.Site);
  insert.Bind(4, static_cast<long long>(r.UnitId));  // the bit pattern; read back unsigned
  insert.Bind(5, r.ProjectFile);
  insert.Bind(6, HexText(r.DataCrc, 8));
  insert.Bind(7, r.Manufacturer);
  insert.Bind(8, r.PartNumber);
  insert.Bind(9, r.Sockets);
  insert.Bind(10, r.RunResult);
  insert.Bind(11, r.RunVerdict);
  for (int k = 0; k < kRecordSockets; ++k) insert.Bind(12 + k, r.SocketVerdicts[k]);
  insert.Bind(16, r.Pass ? 1 : 0);
  insert.Bind(17, r.ElapsedMs);
}

PartRecord ReadRecord(const SqliteStatement& select) {
  PartRecord r;
  r.RecordId = select.Text(1);
  r.Time = select.Text(2);
  r.Site = static_cast<int>(select.Int(3));
  r.UnitId = static_cast<std::uint64_t>(select.Int(4));
  r.ProjectFile = select.Text(5);
  r.DataCrc = static_cast<std::uint32_t>(std::strtoul(select.Text(6).c_str(), nullptr, 16));
  r.Manufacturer = select.Text(7);
  r.PartNumber = select.Text(8);
  r.Sockets = static_cast<std::uint8_t>(select.Int(9));
  r.RunResult = static_cast<std::uint8_t>(select.Int(10));
  r.RunVerdict = static_cast<std::uint8_t>(select.Int(11));
  for (int k = 0; k < kRecordSockets; ++k) {
    r.SocketVerdicts[k] = static_cast<std::uint8_t>(select.Int(12 + k));
  }
  r.Pass = select.Int(16) != 0;
  r.ElapsedMs = static_cast<std::uint32_t>(select.Int(17));
  return r;
}

}  // namespace

const char* StoreStatusText(StoreStatus status) {
  switch (status) {
    case StoreStatus::Ok:
      return "ok";
    case StoreStatus::Locked:
      return "locked by another program";
    case StoreStatus::Full:
      return "full";
    case StoreStatus::Damaged:
      return "damaged";
    case StoreStatus::CannotOpen:
      return "not writable";
    case StoreStatus::Failed:
      break;
  }
  return "failing";
}

std::string RecordStore::PathBelow(const std::string& baseDir) {
  return baseDir + "History/Records.db";
}

RecordStore::RecordStore(std::string path, int busyTimeoutMs)
    : path_(std::move(path)), busyTimeoutMs_(busyTimeoutMs) {}

RecordStore::~RecordStore() {
  Close();
}

void RecordStore::Close() {
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

StoreResult RecordStore::Open() {
  if (db_) return {};
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::create_directories(folder, ignored);
  const int rc =
      sqlite3_open_v2(path_.c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  StoreResult result = rc == SQLITE_OK ? Configure() : Fail(rc);
  if (result.Ok()) result = Migrate();
  if (!result.Ok()) Close();
  return result;
}

StoreResult RecordStore::Configure() {
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, busyTimeoutMs_);
  // The first statement reads the file's header: a file that is no database fails here.
  StoreResult result = Exec("PRAGMA journal_mode = WAL");
  if (result.Ok()) result = Exec("PRAGMA synchronous = FULL");
  if (result.Ok()) result = Exec("PRAGMA foreign_keys = ON");
  return result;
}

StoreResult RecordStore::Migrate() {
  long long current = 0;
  StoreResult result = ReadVersion(current);
  if (!result.Ok() || current == kSchemaVersion) return result;
  // Two connections may open a new file at once: the version is read again under the write
  // lock, so only one of them changes the schema.
  result = Exec("BEGIN IMMEDIATE");
  if (result.Ok()) result = ReadVersion(current);
  if (result.Ok() && current > kSchemaVersion) {
    result = {StoreStatus::Failed,
              "made by a newer program (schema " + std::to_string(current) + ")"};
  }
  if (result.Ok() && current == 0) result = Exec(kCreateSchema);
  if (result.Ok() && current < 2) result = Exec(kCreateShipMarks);
  if (result.Ok())
    result = Exec(("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str());
  if (result.Ok()) result = Exec("COMMIT");
  if (!result.Ok() && sqlite3_get_autocommit(db_) == 0) Exec("ROLLBACK");
  return result;
}

StoreResult RecordStore::ReadVersion(long long& version) {
  SqliteStatement select(db_, "PRAGMA user_version");
  if (!select.Prepared() || select.Step() != SQLITE_ROW) return Fail(sqlite3_errcode(db_));
  version = select.Int(0);
  return {};
}

StoreResult RecordStore::Insert(const std::vector<PartRecord>& batch) {
  for (const PartRecord& record : batch) {
    if (record.RecordId.empty()) return {StoreStatus::Failed, "a record without an id"};
  }
  StoreResult result = Open();
  if (!result.Ok()) return result;
  // IMMEDIATE takes the write lock at once, so a locked file fails before any work.
  result = Exec("BEGIN IMMEDIATE");
  if (result.Ok()) result = InsertAll(batch);
  if (result.Ok()) result = Exec("COMMIT");
  if (!result.Ok() && db_ && sqlite3_get_autocommit(db_) == 0) Exec("ROLLBACK");
  if (result.Status == StoreStatus::Damaged || result.Status == StoreStatus::CannotOpen) Close();
  return result;
}

StoreResult RecordStore::InsertAll(const std::vector<PartRecord>& batch) {
  SqliteStatement insert(db_, kInsertRecord);
  SqliteStatement step(db_, kInsertStep);
  if (!insert.Prepared() || !step.Prepared()) return Fail(sqlite3_errcode(db_));
  for (const PartRecord& record : batch) {
    BindRecord(insert, record);
    if (insert.Step() != SQLITE_DONE) return Fail(sqlite3_errcode(db_));
    insert.Reset();
    if (sqlite3_changes(db_) == 0) continue;  // stored by an earlier attempt
    const long long id = sqlite3_last_insert_rowid(db_);
    for (std::size_t i = 0; i < record.Steps.size(); ++i) {
      const StepRecord& s = record.Steps[i];
      step.Bind(1, id);
      step.Bind(2, static_cast<long long>(i));
      step.Bind(3, s.Code);
      step.Bind(4, s.Name);
      step.Bind(5, s.Result);
      step.Bind(6, s.DurationMs);
      if (step.Step() != SQLITE_DONE) return Fail(sqlite3_errcode(db_));
      step.Reset();
    }
  }
  return {};
}

StoreResult RecordStore::QuerySince(const std::string& sinceDate, std::vector<PartRecord>& rows) {
  rows.clear();
  if (!sinceDate.empty() && !IsIsoDate(sinceDate)) {
    return {StoreStatus::Failed, "\"" + sinceDate + "\" is not a date YYYY-MM-DD"};
  }
  StoreResult result = Open();
  if (!result.Ok()) return result;
  SqliteStatement select(db_, kSelectRecords);
  if (!select.Prepared()) return Fail(sqlite3_errcode(db_));
  select.Bind(1, sinceDate);
  std::vector<long long> ids;
  int rc = SQLITE_ROW;
  while ((rc = select.Step()) == SQLITE_ROW) {
    ids.push_back(select.Int(0));
    rows.push_back(ReadRecord(select));
  }
  if (rc != SQLITE_DONE) return Fail(rc);
  return ReadSteps(rows, ids);
}

StoreResult RecordStore::ReadSteps(std::vector<PartRecord>& rows,
                                   const std::vector<long long>& ids) {
  SqliteStatement select(db_, kSelectSteps);
  if (!select.Prepared()) return Fail(sqlite3_errcode(db_));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    select.Bind(1, ids[i]);
    int rc = SQLITE_ROW;
    while ((rc = select.Step()) == SQLITE_ROW) {
      rows[i].Steps.push_back({static_cast<std::uint16_t>(select.Int(0)), select.Text(1),
                               static_cast<std::uint8_t>(select.Int(2)),
                               static_cast<std::uint32_t>(select.Int(3))});
    }
    if (rc != SQLITE_DONE) return Fail(rc);
    select.Reset();
  }
  return {};
}

StoreResult RecordStore::ReadAfter(long long afterId, std::size_t limit,
                                   std::vector<StoredRecord>& rows) {
  rows.clear();
  StoreResult result = Open();
  if (!result.Ok()) return result;
  SqliteStatement select(db_, kSelectAfter);
  if (!select.Prepared()) return Fail(sqlite3_errcode(db_));
  select.Bind(1, afterId);
  select.Bind(2, static_cast<long long>(limit));
  int rc = SQLITE_ROW;
  while ((rc = select.Step()) == SQLITE_ROW) rows.push_back({select.Int(0), ReadRecord(select)});
  if (rc != SQLITE_DONE) return Fail(rc);
  return rows.empty() ? StoreResult{} : ReadStepRange(rows);
}

// One query for the steps of the whole range: the rows come ordered by record, as `rows` are.
StoreResult RecordStore::ReadStepRange(std::vector<StoredRecord>& rows) {
  SqliteStatement select(db_, kSelectStepRange);
  if (!select.Prepared()) return Fail(sqlite3_errcode(db_));
  select.Bind(1, rows.front().Id);
  select.Bind(2, rows.back().Id);
  std::size_t at = 0;
  int rc = SQLITE_ROW;
  while ((rc = select.Step()) == SQLITE_ROW) {
    const long long record = select.Int(0);
    while (at < rows.size() && rows[at].Id < record) ++at;
    if (at == rows.size()) break;
    rows[at].Record.Steps.push_back({static_cast<std::uint16_t>(select.Int(1)), select.Text(2),
                                     static_cast<std::uint8_t>(select.Int(3)),
                                     static_cast<std::uint32_t>(select.Int(4))});
  }
  if (rc != SQLITE_DONE && rc != SQLITE_ROW) return Fail(rc);
  return {};
}

StoreResult RecordStore::CountAfter(long long afterId, std::uint64_t& count) {
  count = 0;
  StoreResult result = Open();
  if (!result.Ok()) return result;
  SqliteStatement select(db_, "SELECT count(*) FROM part_records WHERE id > ?");
  if (!select.Prepared()) return Fail(sqlite3_errcode(db_));
  select.Bind(1, afterId);
  if (select.Step() != SQLITE_ROW) return Fail(sqlite3_errcode(db_));
  count = static_cast<std::uint64_t>(select.Int(0));
  return {};
}

StoreResult RecordStore::ReadShipMark(const std::string& target, long long& shippedId) {
  shippedId = 0;
  StoreResult result = Open();
  if (!result.Ok()) return result;
  SqliteStatement select(db_, "SELECT shipped_id FROM ship_marks WHERE target = ?");
  if (!select.Prepared()) return Fail(sqlite3_errcode(db_));
  select.Bind(1, target);
  const int rc = select.Step();
  if (rc == SQLITE_ROW) shippedId = select.Int(0);
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? StoreResult{} : Fail(rc);
}

StoreResult RecordStore::WriteShipMark(const std::string& target, long long shippedId) {
  StoreResult result = Open();
  if (!result.Ok()) return result;
  SqliteStatement upsert(db_,
                         "INSERT INTO ship_marks (target, shipped_id) VALUES (?, ?) "
                         "ON CONFLICT (target) DO UPDATE SET shipped_id = excluded.shipped_id");
  if (!upsert.Prepared()) return Fail(sqlite3_errcode(db_));
  upsert.Bind(1, target);
  upsert.Bind(2, shippedId);
  return upsert.Step() == SQLITE_DONE ? StoreResult{} : Fail(sqlite3_errcode(db_));
}

sqlite3* RecordStore::Handle() {
  return Open().Ok() ? db_ : nullptr;
}

StoreResult RecordStore::Exec(const char* sql) {
  const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
  return rc == SQLITE_OK ? StoreResult{} : Fail(rc);
}

StoreResult RecordStore::Fail(int code) {
  const char* message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
  return {Classify(code), message ? message : sqlite3_errstr(code)};
}
