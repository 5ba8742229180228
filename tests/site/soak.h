#pragma once
// The soaks of the automatic loops: every site loops until a part count is reached, then
// "Stop All"; afterwards the panels, the statistics, the units' own tally and the records must
// tell the same story.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "site/run_recipes.h"
#include "site/site_wait.h"
#include "tests/site/run_rig.h"

struct SoakCounts {
  std::uint32_t pass = 0;
  std::uint32_t fail = 0;
};

// The part count of `variable` (a soak by hand), else `fallback` (the suite's).
inline std::uint32_t SoakParts(const char* variable, std::uint32_t fallback) {
  const char* text = std::getenv(variable);
  const unsigned long parts = text != nullptr ? std::strtoul(text, nullptr, 10) : 0;
  return parts > 0 && parts <= 10'000'000 ? static_cast<std::uint32_t>(parts) : fallback;
}

// Runs `recipe` on every selected site until `parts` are counted, then "Stop All"; the panels'
// counters summed over the sites.
inline SoakCounts LoopUntilParts(RunRig& rig, RunRecipe recipe, std::uint32_t parts) {
  rig.system.Controls().AutoRunInterval = 1;
  RunSession& session = rig.system.Session();
  rig.host.SetProcessMessagesHook([&rig, parts] {
    const StatisticsTotals totals = rig.system.Panels().Totals();
    if (totals.Pass + totals.Fail >= parts) rig.system.Session().RequestStop();
  });
  const StartedRun run = session.Start(recipe, SiteChoice::SelectedSites());
  EXPECT_EQ(run.sites.size(), std::size_t{kSiteCount});
  session.Wait(run);
  rig.system.Shutdown();
  SoakCounts counts;
  for (int site = 0; site < kSiteCount; ++site) {
    counts.pass += rig.system.Panels().PassCount(site);
    counts.fail += rig.system.Panels().FailCount(site);
  }
  return counts;
}

// The statistics, the units' tally and the records agree with the panels' counters.
inline void ExpectSoakAgrees(RunRig& rig, const SoakCounts& counts, std::uint32_t parts) {
  ::testing::Test::RecordProperty("passed", static_cast<int>(counts.pass));
  ::testing::Test::RecordProperty("failed", static_cast<int>(counts.fail));
  EXPECT_GE(counts.pass + counts.fail, parts);
  EXPECT_GT(counts.fail, 0u);
  EXPECT_EQ(rig.system.Panels().Totals().Pass, counts.pass);
  EXPECT_EQ(rig.system.Panels().Totals().Fail, counts.fail);
  EXPECT_EQ(rig.rig.partsGood(), counts.pass);
  EXPECT_EQ(rig.rig.partsFailed(), counts.fail);
  const std::vector<PartRecord> rows = rig.Records();
  EXPECT_EQ(rows.size(), std::size_t{counts.pass} + counts.fail);
  const auto passed =
      std::count_if(rows.begin(), rows.end(), [](const PartRecord& r) { return r.Pass; });
  EXPECT_EQ(static_cast<std::uint32_t>(passed), counts.pass);
}
