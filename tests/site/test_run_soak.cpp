// Eight sites in automatic loops with the virtual operator and failing parts until 2,000 parts
// (ZV_SOAK_PARTS=N for a longer soak by hand) are done, then "Stop All": the panels' counters, the
// statistics, the records database and the units' own tally agree exactly, and every log line
// queued reached the log's consumer.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "log/core/log_queue.h"
#include "log/core/log_writer.h"
#include "tests/site/soak.h"

namespace {

constexpr std::uint32_t kDefaultParts = 2000;

// Counts the lines queued and the lines the pipeline's headless writer wrote.
class CountingLog final : public LogSink {
 public:
  CountingLog() : pipeline_(LogDisplay::All), writer_(pipeline_, {}) {}
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override {
    ++queued_;
    pipeline_.AddLogMessage(text, colour, ignored, essential);
  }
  bool Drained() {
    writer_.Flush();
    return writer_.WrittenLines() == queued_.load();
  }

 private:
  std::atomic<std::uint64_t> queued_{0};
  LogQueue pipeline_;
  TLogWriter writer_;
};

TEST(RunSoakTest, EightLoopsAgreeWithTheUnitsAndTheRecords) {
  const std::uint32_t kParts = SoakParts("ZV_SOAK_PARTS", kDefaultParts);
  CountingLog log;
  sim::RigOptions options = RunRig::Options(kSiteCount);
  options.virtualOperator = true;
  options.failRate = 0.05;
  options.failMix.overCurrent = 0;
  options.seed = 11;
  {
    RunRig rig(options, &log);
    PartPlan part;
    part.dataBytes = 1024;
    part.id = true;
    part.blank = true;
    rig.Load(part, PatternImage(part.dataBytes));
    rig.Bind();
    // Stand-ins for the preparation, which other operations own.
    for (Opcode op : {Opcodes::CheckUsbPower, Opcodes::HardwareSettings, Opcodes::DriverSettings}) {
      rig.system.Opcodes().Register(
          op, [](SiteContext&, const OperationTexts&) { return SiteResultCode::Pass; });
    }
    ExpectSoakAgrees(rig, LoopUntilParts(rig, RunRecipe::PcAutoRun, kParts), kParts);
  }
  EXPECT_TRUE(log.Drained());
}

}  // namespace
