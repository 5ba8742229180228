// SendFileRange from one file to eight simulated units at once, the timing model off: what
// the PC side (file reads, link, bus calls) moves when the wire is not the limit.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_util.h"
#include "link/bulk_exchange.h"
#include "link/link_table.h"
#include "log/core/log_sink.h"
#include "sim/sim_factory.h"
#include "support/named_lock.h"
#include "support/system_para.h"

namespace bench {

namespace {
constexpr int kUnits = 8;
constexpr std::size_t kFileBytes = 64u << 20;  // per unit
constexpr int kRepeats = 3;

// Counts the failures the link reports and prints the first.
class FailureLog final : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    if (colour != LogColour::Red) return;
    std::lock_guard lock(mutex_);
    if (failures_++ == 0) std::fprintf(stderr, "SendFileRange: %s\n", text.c_str());
  }
  int Failures() {
    std::lock_guard lock(mutex_);
    return failures_;
  }

 private:
  std::mutex mutex_;
  int failures_ = 0;
};

bool OpenEveryLink(LinkTable& table) {
  for (int site = 0; site < kUnits; ++site) {
    ZvUsb& link = table.Link(site);
    if (!link.OpenDevice(link.FindFreeDevice())) return false;
  }
  return true;
}

// Every unit holds a piece from the middle of the file where the stream put it (the stream
// wraps inside the unit's data buffer, so its start is overwritten by the file's end).
bool ArrivedWhole(sim::SimRig& rig, const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t kProbe = 8u << 20;
  const std::vector<std::uint8_t> piece(bytes.begin() + kProbe,
                                        bytes.begin() + kProbe + kLargeChunk);
  for (auto& unit : rig.units) {
    if (unit->readMemory(UnitAddress::Settings + kProbe, kLargeChunk) != piece) return false;
  }
  return true;
}

// One round: every unit expects the whole file as a data stream; eight threads send it.
bool SendToAll(LinkTable& table, sim::SimRig& rig, FailureLog& log, const TempFile& file) {
  for (auto& unit : rig.units) unit->enterDataStream(kFileBytes);
  std::atomic<int> passed{0};
  std::vector<std::thread> senders;
  for (int site = 0; site < kUnits; ++site) {
    senders.emplace_back([&, site] {
      if (SendFileRange(table.Link(site), log, file.Path(), 0, kFileBytes) ==
          SiteResultCode::Pass) {
        ++passed;
      }
    });
  }
  for (auto& sender : senders) sender.join();
  bool complete = passed.load() == kUnits;
  for (auto& unit : rig.units) complete = complete && unit->streamedBytes() == kFileBytes;
  return complete;
}
}  // namespace

bool RunSendFileRange() {
  sim::RigOptions options;
  options.units = kUnits;
  options.timing = false;
  options.discardData = false;  // the units keep what arrives, as a unit's buffer does
  sim::SimRig rig = sim::makeSimRig(options);
  NamedLocks locks;
  const S_SystemPara settings;
  LinkTable table(*rig.bus, locks, settings);
  if (!OpenEveryLink(table)) {
    std::printf("SendFileRange = not measured (could not open %d simulated units)\n", kUnits);
    return false;
  }
  const std::vector<std::uint8_t> bytes = RandomBytes(kFileBytes);
  const TempFile file("send", bytes);
  FailureLog log;
  bool complete = SendToAll(table, rig, log, file);  // warms the page cache
  const double sent =
      BestSeconds(kRepeats, [&] { complete = SendToAll(table, rig, log, file) && complete; });
  complete = complete && ArrivedWhole(rig, bytes);
  const double copy = kUnits * MemcpySeconds(kFileBytes, kRepeats);
  const std::size_t total = kUnits * kFileBytes;
  Print("SendFileRange", copy / sent, "x_memcpy");
  Print("SendFileRange_rate", MegabytesPerSecond(total, sent), "MB/s");
  Print("SendFileRange_complete", complete && log.Failures() == 0 ? 1 : 0, "bool");
  return complete && log.Failures() == 0 && MegabytesPerSecond(total, sent) >= 1000.0;
}

}  // namespace bench
