#include "records/record_pusher.h"

#include <libpq-fe.h>

#include <memory>
#include <utility>

#include "records/central_schema.h"

namespace {
constexpr const char* kRecordColumns =
    " (station_id, record_id, time, site, unit_id, project_file, data_crc, manufacturer, "
    "part_number, sockets, run_result, run_verdict, socket1_verdict, socket2_verdict, "
    "socket3_verdict, socket4_verdict, pass, elapsed_ms) FROM STDIN";
constexpr const char* kStepColumns =
    " (station_id, record_id, position, code, name, result, duration_ms) FROM STDIN";

// How many of the batch's records the line's database holds already: none unless the batch is
// sent again (its reply was lost, or a killed program left its watermark behind).
constexpr const char* kCountKnown =
    "SELECT count(*) FROM part_records WHERE station_id = $1 AND record_id = ANY ($2::text[])";

constexpr const char* kStage =
    "CREATE TEMP TABLE incoming_records (LIKE part_records) ON COMMIT DROP;"
    "CREATE TEMP TABLE incoming_steps (LIKE part_steps) ON COMMIT DROP";
constexpr const char* kMerge =
    "INSERT INTO part_records SELECT * FROM incoming_records ON CONFLICT DO NOTHING;"
    "INSERT INTO part_steps SELECT * FROM incoming_steps ON CONFLICT DO NOTHING";

struct ConninfoFree {
  void operator()(PQconninfoOption* options) const { PQconninfoFree(options); }
};

std::string OptionValue(const PQconninfoOption* options, const std::string& key) {
  for (const PQconninfoOption* o = options; o && o->keyword; ++o) {
    if (key == o->keyword && o->val) return o->val;
  }
  return {};
}

void AddField(std::string& line, const std::string& text) {
  if (!line.empty() && line.back() != '\n') line += '\t';
  AppendCopyText(line, text);
}

void AddRecordLine(std::string& data, const std::string& station, const PartRecord& r) {
  std::string line;
  AddField(line, station);
  for (const std::string& text :
       {r.RecordId, r.Time, std::to_string(r.Site),
        std::to_string(static_cast<long long>(r.UnitId)), r.ProjectFile, HexText(r.DataCrc, 8),
        r.Manufacturer, r.PartNumber, std::to_string(r.Sockets), std::to_string(r.RunResult),
        std::to_string(r.RunVerdict)}) {
    AddField(line, text);
  }
  for (std::uint8_t verdict : r.SocketVerdicts) AddField(line, std::to_string(verdict));
  AddField(line, r.Pass ? "t" : "f");
  AddField(line, std::to_string(r.ElapsedMs));
  data += line + '\n';
}

void AddStepLines(std::string& data, const std::string& station, const PartRecord& r) {
  for (std::size_t i = 0; i < r.Steps.size(); ++i) {
    const StepRecord& s = r.Steps[i];
    std::string line;
    for (const std::string& text :
         {station, r.RecordId, std::to_string(i), std::to_string(s.Code), s.Name,
          std::to_string(s.Result), std::to_string(s.DurationMs)}) {
      AddField(line, text);
    }
    data += line + '\n';
  }
}
}  // namespace

std::string ShipTargetKey(const std::string& url) {
  const std::unique_ptr<PQconninfoOption, ConninfoFree> given(
      PQconninfoParse(url.c_str(), nullptr));
  const std::unique_ptr<PQconninfoOption, ConninfoFree> defaults(PQconndefaults());
  const auto value = [&](const char* name) {
    const std::string text = OptionValue(given.get(), name);
    return text.empty() ? OptionValue(defaults.get(), name) : text;
  };
  return value("host") + ":" + value("port") + "/" + value("dbname");
}

RecordPusher::RecordPusher(std::string url, std::string localPath, StationInfo station,
                           std::size_t batchRecords)
    : url_(std::move(url)),
      key_(ShipTargetKey(url_)),
      local_(std::move(localPath)),
      station_(std::move(station)),
      batchRecords_(batchRecords) {}

ShipOutcome RecordPusher::ShipAll() {
  ShipOutcome outcome;
  if (!ready_ && !Connect(outcome.Reason)) {
    pg_.Close();
    outcome.Backlog = Backlog();
    return outcome;
  }
  std::vector<StoredRecord> batch;
  for (;;) {
    const StoreResult read = local_.ReadAfter(shipped_, batchRecords_, batch);
    if (!read.Ok()) {
      outcome.Reason = local_.Path() + " cannot be read (" + read.Message + ")";
      break;
    }
    if (batch.empty()) {
      outcome.Done = true;
      break;
    }
    if (!ShipBatch(batch, outcome.Reason)) {
      pg_.RollbackIfOpen();
      pg_.Close();
      ready_ = false;
      break;
    }
    if (onCommitted_) onCommitted_();
    shipped_ = batch.back().Id;
    outcome.Shipped += batch.size();
    // A watermark that cannot be written now only means this batch may be sent again.
    local_.WriteShipMark(key_, shipped_);
  }
  outcome.Backlog = outcome.Done ? 0 : Backlog();
  return outcome;
}

bool RecordPusher::Connect(std::string& reason) {
  if (!pg_.Open(url_)) {
    reason = pg_.Error();
    return false;
  }
  if (EnsureCentralSchema(pg_, reason) != SchemaCheck::Ready) return false;
  if (!RegisterStation(pg_, station_)) {
    reason = pg_.Error();
    return false;
  }
  if (shipped_ < 0) {
    const StoreResult read = local_.ReadShipMark(key_, shipped_);
    if (!read.Ok()) {
      shipped_ = -1;
      reason = local_.Path() + " cannot be read (" + read.Message + ")";
      return false;
    }
  }
  ready_ = true;
  return true;
}

bool RecordPusher::ShipBatch(const std::vector<StoredRecord>& batch, std::string& reason) {
  std::string records;
  std::string steps;
  std::vector<std::string> ids;
  for (const StoredRecord& stored : batch) {
    AddRecordLine(records, station_.Id, stored.Record);
    AddStepLines(steps, station_.Id, stored.Record);
    ids.push_back(stored.Record.RecordId);
  }
  PgResult known;
  PgResult updated;
  bool ok = pg_.Exec("BEGIN") && pg_.Query(kCountKnown, {station_.Id, TextArray(ids)}, known);
  if (ok && known.Int(0, 0) == 0) {
    // The common case: both tables take the batch by COPY as it is.
    ok = pg_.CopyIn(std::string("COPY part_records") + kRecordColumns, records) &&
         pg_.CopyIn(std::string("COPY part_steps") + kStepColumns, steps);
  } else if (ok) {
    // A batch sent again: what is there stays, the rest goes in.
    ok = pg_.Exec(kStage) &&
         pg_.CopyIn(std::string("COPY incoming_records") + kRecordColumns, records) &&
         pg_.CopyIn(std::string("COPY incoming_steps") + kStepColumns, steps) && pg_.Exec(kMerge);
  }
  ok = ok &&
       pg_.Query("UPDATE stations SET last_seen = now() WHERE station_id = $1", {station_.Id},
                 updated) &&
       pg_.Exec("COMMIT");
  if (!ok) reason = pg_.Error();
  return ok;
}

std::uint64_t RecordPusher::Backlog() {
  long long mark = shipped_;
  if (mark < 0 && !local_.ReadShipMark(key_, mark).Ok()) mark = 0;
  std::uint64_t count = 0;
  local_.CountAfter(mark, count);
  return count;
}
