// Part records per second through the writer from eight producer threads, into a new database
// file, committed (synchronous=FULL) before the clock stops.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_records.h"
#include "bench/bench_util.h"
#include "records/record_writer.h"

namespace bench {

namespace {
constexpr int kProducers = 8;
constexpr int kRecordsEach = 5000;

class CountingSink : public LogSink {
 public:
  void AddLogMessage(const std::string&, std::uint32_t, std::uint8_t, std::uint8_t) override {
    lines_.fetch_add(1);
  }
  int Lines() const { return lines_.load(); }

 private:
  std::atomic<int> lines_{0};
};

}  // namespace

PartRecord TypicalRecord(int producer, int n) {
  PartRecord r;
  r.Site = producer + 1;
  r.UnitId = 20240501134512ULL + static_cast<std::uint64_t>(producer);
  r.ProjectFile = "Flash 64M.zvprj";
  r.DataCrc = static_cast<std::uint32_t>(n);
  r.Manufacturer = "Acmetronic";
  r.PartNumber = "AT29F64B";
  r.Sockets = 0x0F;
  r.Steps = {{0x17E8, "Insert Detect", 0xA0, 12},
             {0x12ED, "Chip Erase", 0xA0, 2300},
             {0x11EE, "Blank Check", 0xA0, 900},
             {0x13EC, "Program", 0xA0, 4100},
             {0x14EB, "Verify", 0xA0, 1500}};
  r.RunResult = 0xA0;
  r.RunVerdict = 0xA0;
  r.SocketVerdicts = {0xA0, 0xA0, 0xA0, 0xA0};
  r.Pass = true;
  r.ElapsedMs = 8812;
  return r;
}

bool RunRecords() {
  const auto folder =
      std::filesystem::temp_directory_path() / ("zv-bench-records-" + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  CountingSink sink;
  double seconds = 0;
  std::uint64_t committed = 0;
  {
    RecordWriter writer({(folder / "Records.db").string()}, sink);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
      producers.emplace_back([&writer, p] {
        for (int i = 0; i < kRecordsEach; ++i) writer.Submit(TypicalRecord(p, i));
      });
    }
    for (auto& producer : producers) producer.join();
    writer.Flush(std::chrono::minutes(5));
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    committed = writer.CommittedCount();
  }
  std::filesystem::remove_all(folder);
  const double total = static_cast<double>(kProducers) * kRecordsEach;
  const double rate = static_cast<double>(committed) / seconds;
  Print("records_per_s", rate, "/s");
  Print("records_lost", total - static_cast<double>(committed), "records");
  // Eight sites finish at most a few parts per second; the target leaves a wide margin.
  return rate >= 1000.0 && static_cast<double>(committed) == total && sink.Lines() == 0;
}

}  // namespace bench
