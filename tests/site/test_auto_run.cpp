// The automatic loop against simulated units: the panel walks PUT, WORKING, TAKE with the
// virtual operator until "Stop All"; "Ignore Insertion Detection" runs a part whose detection
// fails and keeps looking at empty sockets; an over-current or a lost unit ends the loop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

#include "sim/procedure_commands.h"
#include "site/command.h"
#include "site/ops/auto_run_ops.h"
#include "site/site_wait.h"
#include "tests/site/run_rig.h"
#include "tests/site/site_waits.h"

namespace {

using Clock = std::chrono::steady_clock;

// Runs the loop on site 0 and presses "Stop All" from the UI side once `stop` holds (or after
// a minute, which fails the test instead of hanging it).
struct LoopRun {
  explicit LoopRun(RunRig& running) : rig(running) {
    rig.system.Controls().StopAllEnabled = true;
    rig.system.Controls().AutoRunInterval = 1;
  }
  void Run(std::function<bool()> stop) {
    const auto deadline = Clock::now() + std::chrono::minutes(1);
    rig.host.SetProcessMessagesHook([&, stop] {
      if (!rig.system.Controls().StopAllEnabled) return;
      if (Clock::now() > deadline) timedOut = true;
      if (timedOut || stop()) rig.system.Controls().StopAllEnabled = false;
    });
    OpcodeQueue queue = MakeQueue({Opcodes::AutoRunLoop});
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    WaitForSitesOrFail(rig.system);
    rig.system.Shutdown();
    EXPECT_FALSE(timedOut);
  }
  std::vector<std::uint32_t> States() const {
    std::vector<std::uint32_t> states;
    for (const PanelEvent& e : rig.host.EventsFor(0)) {
      if (e.kind != PanelEvent::Kind::Status) continue;
      if (states.empty() || states.back() != e.value) states.push_back(e.value);
    }
    return states;
  }
  std::size_t Detections() const {
    return rig.Unit(0).record().commandsWithCode(StepCode::InsertDetect).size();
  }
  RunRig& rig;
  bool timedOut = false;
};

// One unit, a small project loaded and bound, and no part in the sockets.
void LoadWithEmptySockets(RunRig& rig) {
  rig.Load(PartPlan{}, PatternImage(1024));
  rig.Bind();
  rig.Unit(0).withState<sim::ProcedureState>(
      [](sim::ProcedureState& st) { st.part.inserted = false; });
}

TEST(AutoRunTest, TheOperatorFeedsPartsUntilStopAll) {
  sim::RigOptions options = RunRig::Options(1);
  options.virtualOperator = true;
  RunRig rig(options);
  rig.Load(PartPlan{}, PatternImage(1024));
  rig.Bind();
  LoopRun loop(rig);
  loop.Run([&] { return rig.system.Panels().PassCount(0) >= 4; });

  const std::uint32_t passed = rig.system.Panels().PassCount(0);
  EXPECT_GE(passed, 4u);
  EXPECT_EQ(rig.system.Panels().FailCount(0), 0u);
  EXPECT_EQ(rig.Unit(0).partsGood(), passed);
  EXPECT_EQ(rig.system.RunBytes(0).RunResult, SiteResultCode::Pass);
  EXPECT_EQ(rig.system.Panels().Status(0), siPass);  // "Stop All" returns the last result
  EXPECT_EQ(rig.system.Panels().BigStatus(0), siPass);
  // One cycle: the run, TAKE until the part is out, PUT until the next is in.
  const std::vector<std::uint32_t> states = loop.States();
  const std::vector<std::uint32_t> cycle = {siWorking, siTake, siPut, siWorking};
  EXPECT_NE(std::search(states.begin(), states.end(), cycle.begin(), cycle.end()), states.end());
  EXPECT_EQ(rig.Records().size(), passed);
}

struct WaitCase {
  const char* name;
  bool ignore;
  bool partIn;
  std::function<void(sim::SimUnit&)> arm;
  std::uint32_t runs;     // parts counted
  SiteResult loopResult;  // RunResult when "Stop All" ends the loop
};

TEST(AutoRunTest, StopAllAndIgnoreInsertionDetection) {
  const std::vector<WaitCase> cases = {
      {"no part: PUT until Stop All, no run happened", false, false, nullptr, 0, 0},
      {"ignored detection, sockets empty: detects again, never runs", true, false, nullptr, 0, 0},
      {"ignored detection that fails with a part in: runs it", true, true,
       [](sim::SimUnit& u) { u.armFault(sim::Fault::fail().onCode(StepCode::InsertDetect)); }, 1,
       SiteResultCode::Pass},
  };
  for (const WaitCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig rig(RunRig::Options(1));
    rig.Load(PartPlan{}, PatternImage(1024));
    rig.Bind();
    rig.Unit(0).withState<sim::ProcedureState>(
        [&](sim::ProcedureState& st) { st.part.inserted = c.partIn; });
    if (c.arm) c.arm(rig.Unit(0));
    rig.system.Controls().IgnoreInsertionDetection = c.ignore;
    LoopRun loop(rig);
    loop.Run([&] {
      const bool waiting = c.runs == 0 ? rig.system.Panels().Status(0) == siPut
                                       : rig.system.Panels().Status(0) == siTake;
      return waiting && loop.Detections() >= 5;
    });
    EXPECT_EQ(rig.system.Panels().PassCount(0) + rig.system.Panels().FailCount(0), c.runs);
    EXPECT_EQ(rig.system.RunBytes(0).RunResult, c.loopResult);
    EXPECT_EQ(rig.system.Panels().Status(0),
              c.loopResult == SiteResultCode::Pass ? siPass : siFail);
    EXPECT_EQ(rig.Records().size(), c.runs);
  }
}

struct PaceCase {
  const char* name;
  bool ignore;
  std::size_t firstPauseAfter;  // detections before the first pause
};

// Empty sockets are looked at once per poll interval, whether detection is on (PUT) or ignored.
// The pauses are counted, not waited out: the fifth presses "Stop All".
TEST(AutoRunTest, EmptySocketsArePolledOncePerIntervalOfMilliseconds) {
  const std::vector<PaceCase> cases = {
      {"detection on: PUT looks once per interval", false, 2},
      {"ignored detection: a pause between looks", true, 1},
  };
  constexpr std::size_t kPauses = 5;
  for (const PaceCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig rig(RunRig::Options(1));
    LoadWithEmptySockets(rig);
    rig.system.Controls().IgnoreInsertionDetection = c.ignore;
    LoopRun loop(rig);
    rig.system.Controls().AutoRunInterval = 350;
    std::vector<std::chrono::milliseconds> pauses;
    std::vector<std::size_t> detections;  // when each pause began
    rig.system.SetLoopPause([&](std::chrono::milliseconds pause, const std::function<bool()>&) {
      pauses.push_back(pause);
      detections.push_back(loop.Detections());
      if (pauses.size() == kPauses) rig.system.Controls().StopAllEnabled = false;
    });
    loop.Run([&] { return loop.Detections() > 10 * kPauses; });  // a loop that stopped pausing
    EXPECT_EQ(pauses,
              std::vector<std::chrono::milliseconds>(kPauses, std::chrono::milliseconds(350)));
    std::vector<std::size_t> paced;
    for (std::size_t k = 0; k < kPauses; ++k) paced.push_back(c.firstPauseAfter + k);
    EXPECT_EQ(detections, paced);
    EXPECT_EQ(loop.Detections(), paced.back());  // "Stop All" ends the loop in its pause
    EXPECT_EQ(rig.captured.TextsOf(0), std::vector<std::string>{});
    EXPECT_EQ(rig.system.Panels().PassCount(0) + rig.system.Panels().FailCount(0), 0u);
  }
}

struct EndCase {
  const char* name;
  std::function<void(RunRig&)> act;  // from the UI side once the loop waits for a part
  bool before;                       // act before the loop starts instead
  const char* line;                  // empty: the link layer has its own words for a lost unit
  TSiteStatus end;
};

TEST(AutoRunTest, OverCurrentOrALostUnitEndsTheLoop) {
  const std::vector<EndCase> cases = {
      {"over-current at detection",
       [](RunRig& rig) {
         rig.Unit(0).armFault(
             sim::Fault::garbage(SiteResultCode::OverCurrentVddVio).onCode(StepCode::InsertDetect));
       },
       true, "Site #1 - Over Current!", siFail},
      {"unit pulled while waiting for a part", [](RunRig& rig) { rig.rig.bus->pull(rig.Unit(0)); },
       false, "", siNone},
  };
  for (const EndCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig rig(RunRig::Options(1));
    LoadWithEmptySockets(rig);
    LoopRun loop(rig);
    bool acted = c.before;
    if (c.before) c.act(rig);
    loop.Run([&] {
      if (!acted && rig.system.Panels().Status(0) == siPut) {
        acted = true;
        c.act(rig);
      }
      return false;  // only the loop's own end stops it
    });
    if (*c.line) {
      EXPECT_TRUE(rig.captured.Has(c.line, LogColour::Red));
    }
    EXPECT_EQ(rig.system.Link(0).IsOpened() != 0, c.end != siNone);
    EXPECT_EQ(rig.system.Panels().Status(0), c.end);
    EXPECT_EQ(rig.system.Panels().FailCount(0), 0u);  // no part was run
  }
}

}  // namespace
