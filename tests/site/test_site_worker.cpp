// The worker: queue order, the stop at the first failure, the end-state rule, the empty step
// after every queue, and the Command that starts it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "site/command.h"
#include "site/rescan.h"
#include "site/run_recipes.h"
#include "site/site_wait.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"

namespace {

class WorkerTest : public ::testing::Test {
 protected:
  WorkerTest() : rig(1) {
    EXPECT_TRUE(RescanUnits(rig.system));
    rig.host.ClearEvents();
    Fake(Opcodes::EmptyStepAfterQueue, SiteResultCode::Pass);
  }

  // Replaces an opcode's operation by one that notes its run and returns `result`.
  void Fake(Opcode opcode, SiteResult result, std::function<void()> also = {}) {
    rig.system.Opcodes().Register(
        opcode, [this, opcode, result, also](SiteContext&, const OperationTexts&) {
          {
            std::lock_guard<std::mutex> lock(mutex);
            ran.push_back(opcode);
          }
          if (also) also();
          return result;
        });
  }

  TSiteStatus Run(std::initializer_list<Opcode> opcodes) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ran.clear();
    }
    OpcodeQueue queue = MakeQueue(opcodes);
    Command command(rig.system, 0, queue);
    EXPECT_TRUE(command.Started());
    EXPECT_TRUE(queue.empty());
    WaitForSitesOrFail(rig.system);
    EXPECT_TRUE(WaitUntil([this] { return !rig.system.Engine().IsRunning(0); }));
    return rig.panels.Status(0);
  }

  std::vector<Opcode> Ran() {
    std::lock_guard<std::mutex> lock(mutex);
    return ran;
  }

  // Before the rig: its workers may still note their last empty step while it shuts down.
  std::mutex mutex;
  std::vector<Opcode> ran;
  SiteRig rig;
};

TEST_F(WorkerTest, PassingQueueEndsInPassAndRunsTheEmptyStepLast) {
  Fake(9, SiteResultCode::Pass);
  Fake(10, SiteResultCode::Pass);
  EXPECT_EQ(Run({9, 10}), siPass);
  EXPECT_EQ(Ran(), (std::vector<Opcode>{9, 10, Opcodes::EmptyStepAfterQueue}));
}

TEST_F(WorkerTest, FirstFailureStopsTheQueueAndEndsInFail) {
  Fake(9, SiteResultCode::Pass);
  Fake(10, SiteResultCode::Fail);
  Fake(11, SiteResultCode::Pass);
  EXPECT_EQ(Run({9, 10, 11, 12}), siFail);
  EXPECT_EQ(Ran(), (std::vector<Opcode>{9, 10, Opcodes::EmptyStepAfterQueue}));

  // Any result other than pass stops it, over-current codes included.
  Fake(9, SiteResultCode::OverCurrentVddVio);
  EXPECT_EQ(Run({9, 10}), siFail);
  EXPECT_EQ(Ran(), (std::vector<Opcode>{9, Opcodes::EmptyStepAfterQueue}));
}

TEST_F(WorkerTest, NoticesAndIdentifierLeaveAPresentUnitReadyWhateverTheyReturn) {
  for (Opcode last : {Opcodes::ConnectNotice, Opcodes::CloseNotice, Opcodes::GetDateTimeId}) {
    for (SiteResult result : {SiteResultCode::Pass, SiteResultCode::Fail}) {
      Fake(last, result);
      Fake(9, SiteResultCode::Pass);
      EXPECT_EQ(Run({9, last}), siReady) << "opcode " << last << " result " << int{result};
    }
  }
  // Judged on the last opcode run: a failure before 36 is an ordinary failure.
  Fake(9, SiteResultCode::Fail);
  EXPECT_EQ(Run({9, Opcodes::GetDateTimeId}), siFail);
}

TEST_F(WorkerTest, OpcodesOutsideTheTableFailAndStopTheQueue) {
  Fake(9, SiteResultCode::Pass);
  for (Opcode bad : {99, 37, -1, 256}) {
    EXPECT_EQ(Run({bad, 9}), siFail) << bad;
    EXPECT_EQ(Ran(), (std::vector<Opcode>{Opcodes::EmptyStepAfterQueue})) << bad;
  }
}

TEST_F(WorkerTest, EmptyQueueShowsAPresentUnitIdle) {
  EXPECT_EQ(Run({}), siReady);
  EXPECT_EQ(Ran(), (std::vector<Opcode>{Opcodes::EmptyStepAfterQueue}));
}

TEST_F(WorkerTest, UnitPulledMeanwhileEndsInNoneWithTheLinkClosed) {
  Fake(9, SiteResultCode::Pass, [this] { rig.rig.bus->pull(rig.Unit(0)); });
  EXPECT_EQ(Run({9}), siNone);
  EXPECT_FALSE(rig.system.Link(0).HasHandle());
  EXPECT_EQ(rig.system.Link(0).IsOpened(), 0);
  EXPECT_FALSE(rig.panels.Checked(0));
  EXPECT_EQ(rig.rig.bus->openHandleCount(), 0u);
}

TEST_F(WorkerTest, OperationsGetTheSiteAndTheTexts) {
  std::vector<std::string> seen;
  rig.system.Opcodes().Register(20, [&](SiteContext& ctx, const OperationTexts& texts) {
    const int site = ctx.Site();
    seen.push_back(std::to_string(site) + ":" + texts.Text1 + "|" + texts.Text2);
    return SiteResultCode::Pass;
  });
  OpcodeQueue queue = MakeQueue({20});
  { Command command(rig.system, 0, "PROJ0001", "PROJ0002", queue); }
  WaitForSitesOrFail(rig.system);
  ASSERT_TRUE(WaitUntil([this] { return !rig.system.Engine().IsRunning(0); }));
  EXPECT_EQ(seen, (std::vector<std::string>{"0:PROJ0001|PROJ0002"}));
}

TEST_F(WorkerTest, CommandShowsWorkingBeforeItReturnsAndUntilTheEnd) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  Fake(9, SiteResultCode::Pass, [released] { WaitReleased(released); });
  OpcodeQueue queue = MakeQueue({9});
  Command command(rig.system, 0, queue);
  ASSERT_TRUE(command.Started());
  EXPECT_EQ(rig.panels.Status(0), siWorking);
  std::vector<PanelEvent> calls = rig.host.EventsFor(0);
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front().kind, PanelEvent::Kind::Status);
  EXPECT_EQ(calls.front().value, siWorking);
  release.set_value();
  WaitForSitesOrFail(rig.system);
  EXPECT_EQ(rig.panels.Status(0), siPass);
}

TEST_F(WorkerTest, ACommandOnASiteWhoseWorkerRunsWaitsForIt) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> inside{0};
  std::atomic<int> most{0};
  const auto enter = [&] {
    most = std::max(most.load(), ++inside);
    return [&] { --inside; };
  };
  Fake(9, SiteResultCode::Pass, [&, released] {
    const auto leave = enter();
    WaitReleased(released);
    leave();
  });
  Fake(10, SiteResultCode::Pass, [&] { enter()(); });
  {
    std::lock_guard<std::mutex> lock(mutex);
    ran.clear();
  }
  OpcodeQueue first = MakeQueue({9});
  ASSERT_TRUE(Command(rig.system, 0, first).Started());
  std::atomic<bool> starting{false};
  std::thread second([&] {
    OpcodeQueue queue = MakeQueue({10});
    starting = true;
    EXPECT_TRUE(Command(rig.system, 0, queue).Started());
  });
  ASSERT_TRUE(WaitUntil([&] { return starting.load(); }));
  // Gives a second worker the chance to run (it must not); the outcome does not hang on it.
  WaitUntil([this] { return Ran().size() > 1; }, std::chrono::milliseconds(100));
  EXPECT_EQ(Ran(), std::vector<Opcode>{9});
  release.set_value();
  second.join();
  WaitForSitesOrFail(rig.system);
  ASSERT_TRUE(WaitUntil([this] { return !rig.system.Engine().IsRunning(0); }));
  EXPECT_EQ(Ran(), (std::vector<Opcode>{9, Opcodes::EmptyStepAfterQueue, 10,
                                        Opcodes::EmptyStepAfterQueue}));
  EXPECT_EQ(most.load(), 1);
  EXPECT_EQ(rig.panels.Status(0), siPass);
}

TEST_F(WorkerTest, CloseDeviceClearsTheBusyFlagAnIoModeFrameLeftSet) {
  // The input/output mode frame has no reply; an operation that ends without ClearBusy
  // leaves the flag set and the next command on the link is refused.
  rig.system.Opcodes().Register(29, [](SiteContext& ctx, const OperationTexts&) {
    ZvUsb& link = ctx.Link();
    const bool sent = link.SendCommand(
        link.MakeCommandPacket({.Frame = FrameType::IoMode, .CodeCount = 0, .Command = 1}), nullptr,
        nullptr, 0, nullptr, std::nullopt, nullptr, nullptr);
    return sent ? SiteResultCode::Pass : SiteResultCode::Fail;
  });
  EXPECT_EQ(Run({29}), siPass);
  EXPECT_EQ(rig.system.Link(0).IsBusy(), 1);

  rig.rig.bus->pull(rig.Unit(0));
  EXPECT_FALSE(RescanUnits(rig.system));  // the lost unit's link is closed
  EXPECT_EQ(rig.system.Link(0).IsBusy(), 0);
  ASSERT_TRUE(rig.rig.bus->plug(rig.rig.units[0]));
  rig.captured.Clear();
  ASSERT_TRUE(RescanUnits(rig.system));  // the greeting goes out on the reopened link
  EXPECT_FALSE(rig.captured.Has("Site #1 - USB Busy!", LogColour::Red));
  EXPECT_TRUE(rig.captured.Has("Site #1 - Get DateTime ID Pass", LogColour::Green));
  EXPECT_EQ(rig.system.Link(0).IsBusy(), 0);
  EXPECT_EQ(rig.panels.Status(0), siReady);
}

TEST_F(WorkerTest, CommandForAnInvalidSiteStartsNothingAndStillTakesTheQueue) {
  for (int site : {-1, 8, 100}) {
    OpcodeQueue queue = MakeQueue({9});
    Command command(rig.system, site, queue);
    EXPECT_FALSE(command.Started());
    EXPECT_TRUE(queue.empty());
  }
  EXPECT_TRUE(rig.host.Events().empty());
}

TEST(WorkerLifetime, SystemShutdownWaitsForRunningWorkers) {
  std::atomic<bool> finished{false};
  {
    auto rig = std::make_unique<SiteRig>(1);
    ASSERT_TRUE(RescanUnits(rig->system));
    rig->system.Opcodes().Register(9, [&finished](SiteContext& ctx, const OperationTexts&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ctx.UnitReport().BiosNumber = 1;  // uses the system after the pause
      finished = true;
      return SiteResultCode::Pass;
    });
    OpcodeQueue queue = MakeQueue({9});
    Command command(rig->system, 0, queue);
    ASSERT_TRUE(command.Started());
    rig.reset();  // joins the worker before the records go
    EXPECT_TRUE(finished);
  }
}

TEST(WorkerLifetime, NoCommandStartsAfterShutdown) {
  SiteRig rig(1);
  rig.system.Shutdown();
  OpcodeQueue queue = MakeQueue({Opcodes::ConnectNotice});
  Command command(rig.system, 0, queue);
  EXPECT_FALSE(command.Started());
}

TEST(OpcodeTableTest, UnbuiltOpcodesFailAndRegistrationIsBounded) {
  SiteRig rig(0);
  OpcodeTable table;
  const OperationTexts texts;
  EXPECT_EQ(table.Run(rig.Site(0), 12, texts), SiteResultCode::Fail);
  EXPECT_FALSE(table.IsBuilt(12));
  const auto pass = [](SiteContext&, const OperationTexts&) { return SiteResultCode::Pass; };
  EXPECT_TRUE(table.Register(12, pass));
  EXPECT_EQ(table.Run(rig.Site(0), 12, texts), SiteResultCode::Pass);
  EXPECT_FALSE(table.Register(37, pass));
  EXPECT_FALSE(table.Register(-1, pass));
  EXPECT_FALSE(table.Register(5, SiteOperation{}));
  EXPECT_FALSE(table.IsBuilt(5));

  // The system's own table, from the standard list: every opcode 0..36.
  for (Opcode built = Opcodes::First; built <= Opcodes::Last; ++built) {
    EXPECT_TRUE(rig.system.Opcodes().IsBuilt(built)) << built;
  }
  for (Opcode empty : {30, 31, 32}) {
    EXPECT_EQ(rig.system.Opcodes().Run(rig.Site(0), empty, texts), SiteResultCode::Pass);
  }
}

}  // namespace

namespace {

TEST(RunRecipesTest, EveryButtonStartsItsQueue) {
  const std::vector<std::pair<RunRecipe, std::vector<Opcode>>> table = {
      {RunRecipe::PcRun, {32, 30, 9, 10, 11, 12}},
      {RunRecipe::PcAutoRun, {32, 30, 9, 10, 11, 13}},
      {RunRecipe::SdRun, {9, 17, 27, 25}},
      {RunRecipe::SdAutoRun, {9, 17, 27, 28, 26}},
      {RunRecipe::FlashLed, {0}},
      {RunRecipe::SelfTest, {6}},
      {RunRecipe::Information, {3, 4, 5}},
      {RunRecipe::BiosUpdate, {8}},
      {RunRecipe::SdDetect, {14}},
      {RunRecipe::SdTest, {15}},
      {RunRecipe::SdFreeSpace, {16}},
      {RunRecipe::SdFilter, {23}},
      {RunRecipe::SdQuickFormat, {24}},
      {RunRecipe::Reset, {7}},
      {RunRecipe::SetHardware, {9, 10, 11}},
      {RunRecipe::IoMode, {29}},
      {RunRecipe::KeyRun, {9, 10, 11, 35}},
      {RunRecipe::BurnIn, {10, 33, 34}},
  };
  for (const auto& [recipe, expected] : table) {
    OpcodeQueue queue = RecipeQueue(recipe);
    std::vector<Opcode> got;
    for (; !queue.empty(); queue.pop()) got.push_back(queue.front());
    EXPECT_EQ(got, expected) << static_cast<int>(recipe);
  }
  EXPECT_EQ(MainRunRecipe(false, false), RunRecipe::PcRun);
  EXPECT_EQ(MainRunRecipe(true, true), RunRecipe::SdAutoRun);
}

// The session's choice of sites, on three units with site 1 unselected: a listed site without
// a unit is named in the log and starts nothing; the run bytes go back to zero for the runs only.
TEST(RunSessionTest, StartsExactlyTheChosenSitesThatHaveAUnit) {
  struct Case {
    const char* name;
    RunRecipe recipe;
    SiteChoice choice;
    std::vector<int> started;
    std::vector<std::string> log;
    bool runBytesReset;
  };
  const std::vector<Case> table = {
      {"selected", RunRecipe::Reset, SiteChoice::SelectedSites(), {0, 2}, {}, false},
      {"present", RunRecipe::Reset, SiteChoice::PresentSites(), {0, 1, 2}, {}, false},
      {"listed", RunRecipe::Reset, SiteChoice::ListedSites({1}), {1}, {}, false},
      {"listed without unit",
       RunRecipe::Reset,
       SiteChoice::ListedSites({2, 3, 8}),
       {},
       {"Site #4 - No Unit!", "Site #9 - No Unit!"},
       false},
      {"a run resets the run bytes",
       RunRecipe::SdRun,
       SiteChoice::ListedSites({7}),
       {},
       {"Site #8 - No Unit!"},
       false},
      {"a run on units", RunRecipe::SdRun, SiteChoice::ListedSites({2}), {2}, {}, true},
  };
  for (const Case& c : table) {
    SCOPED_TRACE(c.name);
    SiteRig rig(3);
    ASSERT_TRUE(RescanUnits(rig.system));
    rig.panels.SetChecked(1, false);
    rig.captured.Clear();
    rig.system.RunBytes(5).RunResult = 0xA1;
    RunSession& session = rig.system.Session();
    const StartedRun run = session.Start(c.recipe, c.choice);
    const RunSummary summary = session.Wait(run);
    EXPECT_EQ(run.sites, c.started);
    EXPECT_EQ(summary.started, c.started);
    EXPECT_EQ(run.refusal, c.started.empty() ? StartRefusal::NoUnit : StartRefusal::None);
    std::vector<std::string> red;
    for (const LoggedLine& line : rig.captured.Lines()) {
      if (line.text.find("No Unit!") != std::string::npos) red.push_back(line.text);
    }
    EXPECT_EQ(red, c.log);
    EXPECT_EQ(rig.system.RunBytes(5).RunResult.load(), c.runBytesReset ? 0 : 0xA1);
    for (int site : c.started) EXPECT_FALSE(rig.system.Engine().IsRunning(site)) << site;
  }
}

// One thread drives the session at a time: while the UI thread waits for a run, a start and a
// load from a second thread are refused with one red line each and start or load nothing; once
// the wait is over, the same calls from that thread go ahead.
TEST(RunSessionTest, ASecondThreadCannotDriveWhileTheFirstDoes) {
  const std::string refusal = "The run session is driven by another thread: nothing started";
  SiteRig rig(3);
  ASSERT_TRUE(RescanUnits(rig.system));
  RunSession& session = rig.system.Session();
  BusyWorker busy(rig, 6);
  ASSERT_TRUE(busy.Started());
  StartedRun held;
  held.sites = {6};
  StartedRun during;
  int loadDuring = 0;
  std::vector<LoggedLine> linesDuring;
  bool acted = false;
  rig.host.SetIdleRound(std::chrono::milliseconds(1));
  rig.host.SetProcessMessagesHook([&] {
    if (acted) return;
    acted = true;
    rig.captured.Clear();
    std::thread second([&] {
      during = session.Start(RunRecipe::Reset, SiteChoice::ListedSites({0}));
      loadDuring = session.LoadProject("/no/such/project.zvprj");
    });
    second.join();
    linesDuring = rig.captured.Lines();
    busy.Release();
  });
  session.Wait(held);
  rig.host.SetProcessMessagesHook({});
  EXPECT_TRUE(acted);
  EXPECT_EQ(during.refusal, StartRefusal::OtherThread);
  EXPECT_EQ(during.sites, std::vector<int>{});
  EXPECT_EQ(loadDuring, LoadCode::SitesRunning);
  ASSERT_EQ(linesDuring.size(), 2u);
  for (const LoggedLine& line : linesDuring) {
    EXPECT_EQ(line.text, refusal);
    EXPECT_EQ(line.colour, LogColour::Red);
  }

  StartedRun after;
  int loadAfter = 0;
  std::thread second([&] {
    after = session.Start(RunRecipe::Reset, SiteChoice::ListedSites({0}));
    session.Wait(after);
    loadAfter = session.LoadProject("/no/such/project.zvprj");
  });
  second.join();
  EXPECT_EQ(after.refusal, StartRefusal::None);
  EXPECT_EQ(after.sites, std::vector<int>{0});
  EXPECT_NE(loadAfter, LoadCode::SitesRunning);
  EXPECT_NE(loadAfter, LoadCode::Loaded);
}

// What the units reported is written by each site's own worker: it is cleared only while none
// runs.
TEST(UnitReportsTest, ClearedOnlyWhileNoWorkerRuns) {
  SiteRig rig(1);
  ASSERT_TRUE(RescanUnits(rig.system));
  rig.system.CmdData(0).SerialText = "SN1";
  BusyWorker busy(rig, 0);
  ASSERT_TRUE(busy.Started());
  EXPECT_FALSE(rig.system.ClearUnitReports());
  EXPECT_EQ(rig.system.CmdData(0).SerialText, "SN1");
  busy.Release();
  WaitForSitesOrFail(rig.system);
  rig.system.Shutdown();
  EXPECT_TRUE(rig.system.ClearUnitReports());
  EXPECT_TRUE(rig.system.CmdData(0).SerialText.empty());
}

}  // namespace
