// The maintenance commands against simulated units: the input/output mode that keeps its link
// busy, the burn-in queue, the start key and the key run.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "sim/command_context.h"
#include "sim/unit_commands.h"
#include "site/command.h"
#include "site/ops/maintenance_ops.h"
#include "site/ops/unit_info_ops.h"
#include "site/site_wait.h"
#include "tests/site/run_rig.h"

namespace {

using Lines = std::vector<std::string>;

std::string Line(int site, const std::string& tail) {
  return "Site #" + std::to_string(site + 1) + tail;
}

struct MaintenanceRig : RunRig {
  explicit MaintenanceRig(int units) : RunRig(RunRig::Options(units)) {
    Load(PartPlan{}, PatternImage(4096));
    Bind();
    for (int k = 0; k < units; ++k) Unit(k).clearRecord();
  }
  void RunQueue(int site, std::initializer_list<Opcode> opcodes) {
    OpcodeQueue queue = MakeQueue(opcodes);
    ASSERT_TRUE(Command(system, site, queue).Started());
    // A key run shows siPushKey, which WaitForSites does not wait for: wait for the worker.
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
  std::vector<sim::ReceivedCommand> Frames(int site, std::uint8_t frameType) {
    std::vector<sim::ReceivedCommand> found;
    for (const auto& command : UnitOnSite(site).record().commands) {
      if (command.block.frameType == frameType) found.push_back(command);
    }
    return found;
  }
};

TEST(MaintenanceTest, IoModeKeepsItsLinkBusyUntilTheLinkCloses) {
  MaintenanceRig rig(1);
  rig.RunQueue(0, {Opcodes::IoMode, Opcodes::PowerLedFlash});
  EXPECT_EQ(rig.captured.TextsOf(0),
            (Lines{Line(0, " - Set IO Mode Pass"), Line(0, " - USB Busy!")}));
  EXPECT_TRUE(rig.captured.Has(Line(0, " - Set IO Mode Pass"), LogColour::Green));
  EXPECT_EQ(rig.system.Panels().Status(0), siFail);
  const std::vector<sim::ReceivedCommand> frames = rig.Frames(0, FrameType::IoMode);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].block.byte1, 1);
  EXPECT_EQ(frames[0].block.codeCount, 0);
  EXPECT_EQ(frames[0].block.commandByte, 1);
  EXPECT_TRUE(rig.Unit(0).record().commandsWithCode(sim::Code::PowerLedFlash).empty());

  EXPECT_EQ(BiosNumberGet(rig.system, 0), SiteResultCode::Fail);  // still refused
  EXPECT_EQ(rig.system.Link(0).IsBusy(), 1);
  rig.system.Link(0).CloseDevice();
  EXPECT_EQ(rig.system.Link(0).IsBusy(), 0);
}

TEST(MaintenanceTest, BurnInStartsWithSiteZerosPlanAndAlwaysEndsTheQueueFailed) {
  struct Case {
    const char* name;
    bool image;
    std::optional<sim::Fault> fault;
    Lines lines;  // of site 2
    std::uint32_t lastColour;
    bool burnInSent;
  };
  const std::vector<Case> cases = {
      {"accepted", true, std::nullopt, {" - Burn In Test..."}, LogColour::Start, true},
      {"refused",
       true,
       sim::Fault::refuse(),
       {" - Burn In Test Command Error!"},
       LogColour::Red,
       true},
      {"no self-test image",
       false,
       std::nullopt,
       {" - FPGA File Does Not Exist!"},
       LogColour::Red,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MaintenanceRig rig(2);
    rig.system.Project().Project().PreBlankCheck = true;
    rig.Plan(1).SocketCount = 4;  // site 1's own plan is not the one sent
    rig.Plan(1).SocketCode = {0xA0, 0xA0, 0xA0, 0xA0};
    if (c.image) std::ofstream(SelfTestImagePath(rig.system), std::ios::binary) << "bits";
    if (c.fault) rig.UnitOnSite(1).armFault(sim::Fault(*c.fault).onCode(sim::Code::BurnInTest));
    rig.RunQueue(1, {Opcodes::SelfTestFpgaLoad, Opcodes::BurnInTest});
    Lines expected;
    for (const std::string& tail : c.lines) expected.push_back(Line(1, tail));
    EXPECT_EQ(rig.captured.TextsOf(1), expected);
    EXPECT_TRUE(rig.captured.Has(expected.back(), c.lastColour));
    EXPECT_EQ(rig.system.Panels().Status(1), siFail);
    EXPECT_EQ(rig.system.Link(1).IsBusy(), 0);
    const sim::UnitRecord record = rig.UnitOnSite(1).record();
    EXPECT_TRUE(record.commandsWithCode(sim::Code::FpgaInit).empty());
    const auto burnIn = record.commandsWithCode(sim::Code::BurnInTest);
    ASSERT_EQ(burnIn.size(), c.burnInSent ? 1u : 0u);
    if (!c.burnInSent) continue;
    EXPECT_EQ(record.commands.front().block.p(3), UnitAddress::FpgaImage);
    const sim::DecodedBlock& block = burnIn[0].block;
    const SiteProcessPlan& plan = rig.Plan(0);
    EXPECT_EQ(block.commandByte, plan.SocketCount);
    EXPECT_EQ(block.byteQuad, plan.SocketCode);
    EXPECT_EQ(block.byteQuadFlag, plan.AreaCode);
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
      {1, sim::Fault::garbage(0x5A), 0xA1, {" - Detect Start Key Error!"}},
      {1, sim::Fault::refuse(), 0xA1, {" - Detect Start Key Command Error!"}},
  };
  for (const Case& c : cases) {
    rig.captured.Clear();
    rig.Unit(0).clearRecord();
    rig.Unit(0).withState<sim::MaintenanceState>([&](auto& st) { st.startKeyPresses = c.presses; });
    if (c.fault) rig.Unit(0).armFault(sim::Fault(*c.fault).onCode(sim::Code::DetectStartKey));
    EXPECT_EQ(DetectStartKey(rig.system, 0), c.result);
    Lines expected;
    for (const std::string& tail : c.lines) expected.push_back(Line(0, tail));
    EXPECT_EQ(rig.captured.TextsOf(0), expected);
    for (const std::string& line : expected) EXPECT_TRUE(rig.captured.Has(line, LogColour::Red));
    EXPECT_EQ(rig.Unit(0).record().commands.at(0).block.commandByte, 3);
    EXPECT_EQ(rig.system.Link(0).IsBusy(), 0);
  }
}

// The operator presses the key once; at the next look the key run's "Stop" has been pressed.
TEST(MaintenanceTest, KeyRunRunsOncePerPressUntilStop) {
  MaintenanceRig rig(1);
  std::atomic<int> looks{0};
  rig.Unit(0).registerCommand(sim::Code::DetectStartKey, [&](sim::CommandContext& ctx) {
    if (++looks == 2) rig.system.Controls().KeyRunStopEnabled = false;
    ctx.complete(looks == 1 ? sim::Ack::Pass : sim::Ack::Fail);
  });
  rig.system.Controls().KeyRunStopEnabled = true;
  rig.RunQueue(0, {Opcodes::KeyRun});
  EXPECT_EQ(looks, 2);
  EXPECT_EQ(rig.Frames(0, FrameType::Merge).size(), 1u);  // one RUN ALL
  EXPECT_EQ(rig.system.RunBytes(0).RunResult, SiteResultCode::Pass);
  EXPECT_EQ(rig.system.Panels().Status(0), siPass);
  std::vector<std::pair<PanelEvent::Kind, std::uint32_t>> shown;
  for (const PanelEvent& event : rig.host.EventsFor(0)) {
    if (event.kind == PanelEvent::Kind::Status || event.kind == PanelEvent::Kind::BigStatus) {
      shown.emplace_back(event.kind, event.value);
    }
  }
  const std::vector<std::pair<PanelEvent::Kind, std::uint32_t>> pushThenRun = {
      {PanelEvent::Kind::Status, siPushKey},
      {PanelEvent::Kind::Status, siWorking},
  };
  EXPECT_NE(std::search(shown.begin(), shown.end(), pushThenRun.begin(), pushThenRun.end()),
            shown.end());
  EXPECT_NE(std::find(shown.begin(), shown.end(),
                      std::make_pair(PanelEvent::Kind::BigStatus, std::uint32_t{siPass})),
            shown.end());
}

TEST(MaintenanceTest, KeyRunEndsFailedWhenItsUnitIsGone) {
  MaintenanceRig rig(1);
  std::atomic<int> looks{0};
  rig.Unit(0).registerCommand(sim::Code::DetectStartKey, [&](sim::CommandContext& ctx) {
    ++looks;
    ctx.complete(sim::Ack::Fail);
  });
  rig.system.Controls().KeyRunStopEnabled = true;
  OpcodeQueue queue = MakeQueue({Opcodes::KeyRun});
  ASSERT_TRUE(Command(rig.system, 0, queue).Started());
  ASSERT_TRUE(WaitUntil([&] { return looks > 0; }));
  rig.rig.bus->pull(rig.Unit(0));
  RescanUnits(rig.system);  // the removal closes the link
  ASSERT_TRUE(WaitUntil([&] { return !rig.system.Engine().IsRunning(0); }));
  EXPECT_TRUE(rig.system.Controls().KeyRunStopEnabled);  // it ended without "Stop"
  EXPECT_TRUE(rig.Frames(0, FrameType::Merge).empty());
}

}  // namespace
