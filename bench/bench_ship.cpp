// Shipping the part records to the line's PostgreSQL database: records (with their steps) per
// second from a station's local database into the server, and the eight-site automatic loop's
// parts per hour with shipping on over off. The server is the one libpq's environment names
// (PGHOST, PGPORT, PGDATABASE, PGUSER, as pg_virtualenv sets them up).
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "bench/bench_loop.h"
#include "bench/bench_records.h"
#include "bench/bench_util.h"
#include "records/pg_connection.h"
#include "records/record_pusher.h"
#include "records/record_store.h"
#include "records/station.h"

namespace {
constexpr int kPushRecords = 50000;
constexpr std::size_t kInsertBatch = 5000;
constexpr double kPushTarget = 20000;  // records per second
constexpr double kUphTarget = 0.99;
constexpr std::int32_t kAutoRunIntervalMs = 500;
// Every field from libpq's defaults, which read the environment.
constexpr const char* kEnvironmentUrl = "postgresql://";

bool ServerNamed() {
  for (const char* name : {"PGHOST", "PGPORT", "PGDATABASE", "PGSERVICE"}) {
    if (std::getenv(name)) return true;
  }
  return false;
}

// The pushed station's rows go again, so that runs do not pile up in the server.
void RemoveStation(const std::string& stationId) {
  PgConnection pg;
  PgResult rows;
  if (pg.Open(kEnvironmentUrl)) {
    for (const char* table : {"part_steps", "part_records", "stations"}) {
      pg.Query(std::string("DELETE FROM ") + table + " WHERE station_id = $1", {stationId}, rows);
    }
  }
}

// CPU seconds so far of each process of the server (backends and its own helpers), by process
// id: what the server spends on a push, which the wall time of a loaded machine hides. Empty
// when the server runs elsewhere.
std::map<int, double> ServerCpu() {
  std::map<int, double> cpu;
  PgConnection pg;
  PgResult rows;
  if (!pg.Open(kEnvironmentUrl) || !pg.Query("SELECT pid FROM pg_stat_activity", {}, rows)) {
    return cpu;
  }
  for (int i = 0; i < rows.Rows(); ++i) {
    const int pid = static_cast<int>(rows.Int(i, 0));
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) continue;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::vector<std::string> field{std::istream_iterator<std::string>(fields), {}};
    if (field.size() < 13) continue;  // state is field 3; utime and stime are 14 and 15
    cpu[pid] =
        (std::stod(field[11]) + std::stod(field[12])) / static_cast<double>(::sysconf(_SC_CLK_TCK));
  }
  return cpu;
}

double CpuSpent(const std::map<int, double>& before, const std::map<int, double>& after) {
  double spent = 0;
  for (const auto& [pid, seconds] : after) {
    const auto earlier = before.find(pid);
    spent += seconds - (earlier == before.end() ? 0 : earlier->second);
  }
  return spent;
}

bool RunPush() {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zv-bench-ship-" + std::to_string(::getpid()));
  const std::string base = folder.string() + "/";
  RecordStore store(RecordStore::PathBelow(base));
  std::vector<PartRecord> batch;
  for (int n = 0; n < kPushRecords; ++n) {
    PartRecord record = bench::TypicalRecord(n % 8, n);
    record.RecordId = "bench-" + std::to_string(n);
    record.Time = LocalIsoTime(std::chrono::system_clock::now());
    batch.push_back(std::move(record));
    if (batch.size() == kInsertBatch) {
      store.Insert(batch);
      batch.clear();
    }
  }
  store.Close();
  StationInfo station;
  std::string error;
  if (!LoadStation(base, "bench", station, error)) {
    std::fprintf(stderr, "push: %s\n", error.c_str());
    return false;
  }
  const std::map<int, double> serverBefore = ServerCpu();
  const double cpuBefore = bench::ProcessCpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  RecordPusher pusher(kEnvironmentUrl, RecordStore::PathBelow(base), station);
  const ShipOutcome outcome = pusher.ShipAll();
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  const double clientCpu = bench::ProcessCpuSeconds() - cpuBefore;
  const double serverCpu = CpuSpent(serverBefore, ServerCpu());  // the pusher is still connected
  RemoveStation(station.Id);
  std::filesystem::remove_all(folder);
  if (!outcome.Done) std::fprintf(stderr, "push: %s\n", outcome.Reason.c_str());
  const double rate = outcome.Done ? static_cast<double>(outcome.Shipped) / took.count() : 0;
  bench::Print("push_records", static_cast<double>(outcome.Shipped), "records");
  bench::Print("push_records_per_s", rate, "/s");
  // Wall time follows the load of a shared machine; CPU time much less so.
  bench::Print("push_client_cpu", clientCpu, "s");
  bench::Print("push_server_cpu", serverCpu, "s");
  bench::Print("push_records_per_cpu_s",
               static_cast<double>(outcome.Shipped) / std::max(clientCpu + serverCpu, 1e-9), "/s");
  return outcome.Shipped == kPushRecords && rate >= kPushTarget;
}

bool RunLoops() {
  const LoopFigures off = MeasureAutoLoop(kAutoRunIntervalMs, "");
  const LoopFigures on = MeasureAutoLoop(kAutoRunIntervalMs, kEnvironmentUrl);
  const double ratio = off.uph > 0 ? on.uph / off.uph : 0;
  bench::Print("ship_uph_off", off.uph, "parts/h");
  bench::Print("ship_uph_on", on.uph, "parts/h");
  bench::Print("ship_uph_recorded", static_cast<double>(on.recorded), "records");
  bench::Print("ship_uph_shipped", static_cast<double>(on.shipped), "records");
  bench::Print("ship_uph_ratio", ratio, "x");
  return off.complete && on.complete && on.shipped == on.recorded && ratio >= kUphTarget;
}
}  // namespace

// Without arguments both figures; "push" or "uph" for one.
int main(int argc, char** argv) {
  if (!ServerNamed()) {
    std::printf(
        "zv_bench_ship: skipped: no PostgreSQL server is named (PGHOST, PGPORT, PGDATABASE); "
        "run it under pg_virtualenv\n");
    return EXIT_SUCCESS;
  }
  const std::string only = argc > 1 ? argv[1] : "";
  bool met = true;
  if (only.empty() || only == "push") met = RunPush() && met;
  if (only.empty() || only == "uph") met = RunLoops() && met;
  return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
