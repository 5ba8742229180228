// The maintenance commands against simulated units: the input/output mode that keeps its link
// busy, the burn-in queue, the start key and the key run.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "sim/unit_commands.h"
#include "site/command.h"
#include "site/ops/maintenance_ops.h"
#include "site/ops/unit_info_ops.h"
#include "tests/site/run_rig.h"

namespace {

using Lines = std::vector<std::string>;

struct MaintenanceRig : RunRig {
  explicit MaintenanceRig(int units) : RunRig(RunRig::Options(units)) {
    Load(PartPlan{}, PatternImage(4096));
    Bind();
    for (int k = 0; k < units; ++k) Unit(k).clearRecord();
  }
  // A key run shows siPushKey, which WaitForSites does not wait for: this waits for the worker.
  void RunQueue(int site, std::initializer_list<Opcode> opcodes) {
    OpcodeQueue queue = MakeQueue(opcodes);
    ASSERT_TRUE(Command(system, site, queue).Started());
    ASSERT_TRUE(WaitUntil([&] { return !system.Engine().IsRunning(site); }));
  }
  // The bind orders the sites by the units' identifiers, not by bus order.
  sim::SimUnit& UnitOnSite(int site) {
    const int units = static_cast<int>(rig.units.size());
    for (int k = 0; k < units; ++k) {
      if (sim::rigOrderRank(k, units) == site) return Unit(k);
    }
    return Unit(site);
  }
  SiteProcessPlan& Plan(int site) { return system.Project().Records().ProcessPlan[SiteSlot(site)]; }
  std::size_t Merges(int site) {
    std::size_t merges = 0;
    for (const auto& command : UnitOnSite(site).record().commands) {
      merges += command.block.frameType == FrameType::Merge ? 1 : 0;
    }
    return merges;
  }
};

TEST(MaintenanceTest, IoModeKeepsItsLinkBusyUntilTheLinkCloses) {
  MaintenanceRig rig(1);
  rig.RunQueue(0, {Opcodes::IoMode, Opcodes::PowerLedFlash});
  EXPECT_EQ(rig.captured.TextsOf(0), (Lines{"Site #1 - Set IO Mode Pass", "Site #1 - USB Busy!"}));
  EXPECT_TRUE(rig.captured.Has("Site #1 - Set IO Mode Pass", LogColour::Green));
  EXPECT_EQ(rig.system.Panels().Status(0), siFail);
  const sim::UnitRecord record = rig.Unit(0).record();
  ASSERT_EQ(record.commands.size(), 1u);  // the flash never went
  EXPECT_EQ(record.commands[0].block.frameType, FrameType::IoMode);
  EXPECT_EQ(record.commands[0].block.commandByte, 1);
  rig.system.Link(0).CloseDevice();
  EXPECT_EQ(rig.system.Link(0).IsBusy(), 0);
}

TEST(MaintenanceTest, BurnInStartsWithSiteZerosPlanAndAlwaysEndsTheQueueFailed) {
  struct Case {
    const char* name;
    bool image;
    std::optional<sim::Fault> fault;
    std::string line;  // site 2's only line
    std::uint32_t colour;
  };
  const std::vector<Case> cases = {
      {"accepted", true, std::nullopt, "Site #2 - Burn In Test...", LogColour::Start},
      {"refused", true, sim::Fault::refuse(), "Site #2 - Burn In Test Command Error!",
       LogColour::Red},
      {"no self-test image", false, std::nullopt, "Site #2 - FPGA File Does Not Exist!",
       LogColour::Red},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaintenanceRig rig(2);
    rig.system.Project().Project().PreBlankCheck = true;
    rig.Plan(1).SocketCount = 4;  // site 1's own plan is not the one sent
    if (c.image) std::ofstream(SelfTestImagePath(rig.system.Paths()), std::ios::binary) << "bits";
    if (c.fault) rig.UnitOnSite(1).armFault(sim::Fault(*c.fault).onCode(sim::Code::BurnInTest));
    rig.RunQueue(1, {Opcodes::SelfTestFpgaLoad, Opcodes::BurnInTest});
    EXPECT_EQ(rig.captured.TextsOf(1), Lines{c.line});
    EXPECT_TRUE(rig.captured.Has(c.line, c.colour));
    EXPECT_EQ(rig.system.Panels().Status(1), siFail);
    EXPECT_EQ(rig.system.Link(1).IsBusy(), 0);
    const sim::UnitRecord record = rig.UnitOnSite(1).record();
    const auto burnIn = record.commandsWithCode(sim::Code::BurnInTest);
    ASSERT_EQ(burnIn.size(), c.image ? 1u : 0u);
    if (!c.image) continue;
    EXPECT_EQ(record.codes(),
              (std::vector<std::uint16_t>{sim::Code::BulkOut, sim::Code::BurnInTest}));
    const sim::DecodedBlock& block = burnIn[0].block;
    EXPECT_EQ(block.commandByte, rig.Plan(0).SocketCount);
    EXPECT_EQ(block.byteQuad, rig.Plan(0).SocketCode);
    EXPECT_EQ(block.byteQuadFlag, rig.Plan(0).AreaCode);
    EXPECT_EQ(block.quadFlagByte, FlagByte::On);
  }
}

TEST(MaintenanceTest, StartKeyAnswersAreSilentAndItsFaultsHaveTheirOwnTexts) {
  MaintenanceRig rig(1);
  rig.Plan(0).SocketCount = 3;
  struct Case {
    std::uint32_t presses;
    std::optional<sim::Fault> fault;
    SiteResult result;
    Lines lines;
  };
  const std::vector<Case> cases = {
      {1, std::nullopt, 0xA0, {}},
      {0, std::nullopt, 0xA1, {}},
      {1, sim::Fault::garbage(0x5A), 0xA1, {"Site #1 - Detect Start Key Error!"}},
      {1, sim::Fault::refuse(), 0xA1, {"Site #1 - Detect Start Key Command Error!"}},
  };
  for (const Case& c : cases) {
    rig.captured.Clear();
    rig.Unit(0).clearRecord();
    rig.Unit(0).withState<sim::MaintenanceState>([&](auto& st) { st.startKeyPresses = c.presses; });
    if (c.fault) rig.Unit(0).armFault(sim::Fault(*c.fault).onCode(sim::Code::DetectStartKey));
    EXPECT_EQ(DetectStartKey(rig.Site(0)), c.result);
    EXPECT_EQ(rig.captured.TextsOf(0), c.lines);
    for (const std::string& line : c.lines) EXPECT_TRUE(rig.captured.Has(line, LogColour::Red));
    EXPECT_EQ(rig.Unit(0).record().commands.at(0).block.commandByte, 3);
  }
}

// The key is pressed once; at the next look the key run's "Stop" has been pressed. Or the unit
// leaves while the run waits for its key: the loop ends failed instead of asking on.
TEST(MaintenanceTest, KeyRunRunsOncePerPressUntilStopOrItsUnitIsGone) {
  for (const bool pulled : {false, true}) {
    SCOPED_TRACE(pulled ? "pulled" : "stopped");
    MaintenanceRig rig(1);
    std::atomic<int> looks{0};
    rig.Unit(0).registerCommand(sim::Code::DetectStartKey, [&](sim::CommandContext& ctx) {
      if (++looks == 2 && !pulled) rig.system.Controls().KeyRunStopEnabled = false;
      ctx.complete(looks == 1 && !pulled ? sim::Ack::Pass : sim::Ack::Fail);
    });
    rig.system.Controls().KeyRunStopEnabled = true;
    OpcodeQueue queue = MakeQueue({Opcodes::KeyRun});
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    if (pulled) {
      ASSERT_TRUE(WaitUntil([&] { return looks > 0; }));
      rig.rig.bus->pull(rig.Unit(0));
      RescanUnits(rig.system);  // the removal closes the link
    }
    ASSERT_TRUE(WaitUntil([&] { return !rig.system.Engine().IsRunning(0); }));
    EXPECT_EQ(rig.Merges(0), pulled ? 0u : 1u);
    if (pulled) continue;
    EXPECT_EQ(looks, 2);
    EXPECT_EQ(rig.system.Panels().Status(0), siPass);  // the last run's result
    Lines shown;
    for (const PanelEvent& event : rig.host.EventsFor(0)) {
      if (event.kind == PanelEvent::Kind::Status) shown.push_back(std::to_string(event.value));
      if (event.kind == PanelEvent::Kind::BigStatus)
        shown.push_back("big " + std::to_string(event.value));
    }
    const Lines pushRunPass = {std::to_string(siPushKey), std::to_string(siWorking),
                               "big " + std::to_string(siPass)};
    EXPECT_NE(std::search(shown.begin(), shown.end(), pushRunPass.begin(), pushRunPass.end()),
              shown.end());
  }
}

}  // namespace
