#pragma once
// Ships a station's local records to the line's database: batch after batch from the local
// watermark on, each batch one transaction.
//
// Why it is safe to repeat: the central tables' key is (station, record) and every insert skips
// what is there, so a batch whose commit reply was lost, or that a killed program sends again
// from its older watermark, is stored once. The watermark moves only after the commit.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "records/pg_connection.h"
#include "records/record_store.h"
#include "records/station.h"

// Records per transaction when the backlog allows.
inline constexpr std::size_t kShipBatchRecords = 5000;

struct ShipOutcome {
  bool Done = false;          // everything committed locally before the pass is shipped
  std::uint64_t Shipped = 0;  // records sent in this pass
  std::uint64_t Backlog = 0;  // records still waiting
  std::string Reason;         // why the pass stopped, when not Done
};

// The key of a target in the local watermarks: "host:port/database" of the URL, libpq's
// defaults (PGHOST, ...) filling what it leaves out. Never holds a user or a password.
std::string ShipTargetKey(const std::string& url);

class RecordPusher {
 public:
  RecordPusher(std::string url, std::string localPath, StationInfo station,
               std::size_t batchRecords = kShipBatchRecords);

  // Connects when not connected, makes or checks the central tables and registers the station,
  // then ships until nothing waits. After a failure the connection is closed; the next pass
  // connects again and resumes from the watermark.
  ShipOutcome ShipAll();

  const std::string& Url() const { return url_; }

  // Called after each batch's commit, before its watermark is written: where the tests end the
  // process, as a kill would.
  void OnCommitted(std::function<void()> hook) { onCommitted_ = std::move(hook); }

 private:
  bool Connect(std::string& reason);
  bool ShipBatch(const std::vector<StoredRecord>& batch, std::string& reason);
  std::uint64_t Backlog();

  std::string url_;
  std::string key_;
  RecordStore local_;
  StationInfo station_;
  std::size_t batchRecords_;
  PgConnection pg_;
  bool ready_ = false;      // connected, schema checked, station registered
  long long shipped_ = -1;  // the watermark; -1: not read yet
  std::function<void()> onCommitted_;
};
