#pragma once
// The production trail's database: one SQLite file below the program's History folder, one row
// per RUN ALL result and one child row per step.
//
// Why SQLite in WAL mode with synchronous=FULL: a commit is atomic and, once it has returned,
// survives a kill of the program and a power cut; a reader (the command-line export) never
// blocks the writer. Every record carries a unique text id, so a commit that is retried after
// a failure cannot add a row twice.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "records/part_record.h"

struct sqlite3;

// What went wrong, in the classes an operator can act on.
enum class StoreStatus {
  Ok,
  Locked,      // another program holds the database
  Full,        // the disk or the database is full
  Damaged,     // not a database, or a damaged one
  CannotOpen,  // the file or its folder cannot be opened or written
  Failed,      // anything else (I/O error, a database made by a newer program, bad input)
};

struct StoreResult {
  StoreStatus Status = StoreStatus::Ok;
  std::string Message;  // SQLite's or our own text; empty when Ok

  bool Ok() const { return Status == StoreStatus::Ok; }
};

// The name of a status in the log lines ("locked", "full", ...).
const char* StoreStatusText(StoreStatus status);

// A record with its row number: the order records were committed in, which shipping follows.
struct StoredRecord {
  long long Id = 0;
  PartRecord Record;
};

// One connection. Not for use from two threads at once: the writer owns one, the export another.
class RecordStore {
 public:
  static constexpr int kSchemaVersion = 2;
  static constexpr int kDefaultBusyTimeoutMs = 2000;

  // The database file of a program: baseDir (ending in "/") + "History/Records.db".
  static std::string PathBelow(const std::string& baseDir);

  explicit RecordStore(std::string path, int busyTimeoutMs = kDefaultBusyTimeoutMs);
  ~RecordStore();
  RecordStore(const RecordStore&) = delete;
  RecordStore& operator=(const RecordStore&) = delete;

  // Opens the file, creating it and its folder when missing, and brings the schema to the
  // current version. Does nothing when already open.
  StoreResult Open();
  bool IsOpen() const { return db_ != nullptr; }
  void Close();

  // Inserts the records in one transaction (opening first when closed). A record whose id is
  // already stored is skipped, so the whole batch may be retried. Records without an id are
  // refused. After a damaged or unopenable file the connection is closed, so the next call
  // opens the file afresh.
  StoreResult Insert(const std::vector<PartRecord>& batch);

  // The records whose local time is on or after the date "YYYY-MM-DD" (every record for an
  // empty date), oldest first, with their steps.
  StoreResult QuerySince(const std::string& sinceDate, std::vector<PartRecord>& rows);

  // Up to `limit` records committed after row `afterId`, in commit order, with their steps.
  StoreResult ReadAfter(long long afterId, std::size_t limit, std::vector<StoredRecord>& rows);
  // How many records were committed after row `afterId`.
  StoreResult CountAfter(long long afterId, std::uint64_t& count);

  // The last row a shipping target holds (0: none yet), and its update once a batch is there.
  StoreResult ReadShipMark(const std::string& target, long long& shippedId);
  StoreResult WriteShipMark(const std::string& target, long long shippedId);

  // The open connection for read-only queries of the reports (opening first); none when the
  // file cannot be opened.
  sqlite3* Handle();

  const std::string& Path() const { return path_; }

 private:
  StoreResult Configure();
  StoreResult Migrate();
  StoreResult ReadVersion(long long& version);
  StoreResult ReadStepRange(std::vector<StoredRecord>& rows);
  StoreResult InsertAll(const std::vector<PartRecord>& batch);
  StoreResult ReadSteps(std::vector<PartRecord>& rows, const std::vector<long long>& ids);
  StoreResult Exec(const char* sql);
  StoreResult Fail(int code);  // classifies the connection's last error

  std::string path_;
  int busyTimeoutMs_;
  sqlite3* db_ = nullptr;
};
