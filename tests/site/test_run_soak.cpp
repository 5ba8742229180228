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

#include "log/core/log_thread.h"
#include "log/core/log_writer.h"
#include "site/run_recipes.h"
#include "site/site_wait.h"
#include "tests/site/run_rig.h"

namespace {

constexpr std::uint32_t kDefaultParts = 2000;

// ZV_SOAK_PARTS=N soaks longer by hand; the suite keeps the default.
std::uint32_t PartsToRun() {
  const char* text = std::getenv("ZV_SOAK_PARTS");
  const unsigned long parts = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
  return parts > 0 && parts <= 10'000'000 ? static_cast<std::uint32_t>(parts) : kDefaultParts;
}

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
  TLogThread pipeline_;
  TLogWriter writer_;
};

TEST(RunSoakTest, EightLoopsAgreeWithTheUnitsAndTheRecords) {
  const std::uint32_t kParts = PartsToRun();
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
          op, [](SiteSystem&, int, const OperationTexts&) { return SiteResultCode::Pass; });
    }
    rig.system.Controls().AutoRunInterval = 1;
    rig.system.Controls().StopAllEnabled = true;
    rig.host.SetProcessMessagesHook([&] {
      const StatisticsTotals totals = rig.system.Panels().Totals();
      if (totals.Pass + totals.Fail >= kParts) rig.system.Controls().StopAllEnabled = false;
    });
    EXPECT_EQ(StartOnSelectedSites(rig.system, RunRecipe::PcAutoRun).size(), 8u);
    WaitForSites(rig.system);
    rig.system.Shutdown();

    std::uint32_t pass = 0;
    std::uint32_t fail = 0;
    for (int site = 0; site < kSiteCount; ++site) {
      pass += rig.system.Panels().PassCount(site);
      fail += rig.system.Panels().FailCount(site);
    }
    EXPECT_GE(pass + fail, kParts);
    EXPECT_GT(fail, 0u);
    EXPECT_EQ(rig.system.Panels().Totals().Pass, pass);
    EXPECT_EQ(rig.system.Panels().Totals().Fail, fail);
    EXPECT_EQ(rig.rig.partsGood(), pass);
    EXPECT_EQ(rig.rig.partsFailed(), fail);
    const std::vector<PartRecord> rows = rig.Records();
    EXPECT_EQ(rows.size(), std::size_t{pass} + fail);
    EXPECT_EQ(static_cast<std::uint32_t>(std::count_if(rows.begin(), rows.end(),
                                                       [](const PartRecord& r) { return r.Pass; })),
              pass);
  }
  EXPECT_TRUE(log.Drained());
}

}  // namespace
