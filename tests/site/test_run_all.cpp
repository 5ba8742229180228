// RUN ALL against simulated units: the data reaches the part chunk by chunk (the verify pass
// streams again from the start), a NAND run reports its bad blocks, and every way a run can
// fail ends counted as a failed part, logged once, recorded, with the link closed when the
// unit is gone.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "link/bulk_exchange.h"
#include "project/group_define.h"
#include "sim/procedure_commands.h"
#include "site/command.h"
#include "site/ops/bad_blocks.h"
#include "site/ops/run_all_ops.h"
#include "site/site_wait.h"
#include "support/byte_order.h"
#include "support/checksums.h"
#include "tests/site/run_rig.h"
#include "tests/site/site_waits.h"

namespace {

constexpr std::uint64_t kChunk = 0x3C00000;
constexpr std::uint32_t kPartStepWaits = 1;

std::string Line(const std::string& tail) {
  return "Site #1" + tail;
}

std::vector<std::uint8_t> PartCells(sim::SimUnit& unit, std::size_t bytes) {
  std::vector<std::uint8_t> cells;
  unit.withState<sim::ProcedureState>([&](sim::ProcedureState& st) {
    if (st.cells) cells = st.cells->readVector(0, bytes);
  });
  return cells;
}

struct DataCase {
  const char* name;
  std::uint64_t bytes;
  bool program;
  SiteResult result;
  const char* lastStepLine;
};

// A NAND part of 1024 blocks of 2048 bytes whose data fills the first 16.
PartPlan SmallNandPart() {
  PartPlan part;
  part.nand = true;
  part.blockLength = 2048;
  part.processBlocks = 16;
  part.totalBlocks = 1024;
  part.dataBytes = 16 * 2048;
  return part;
}

TEST(RunAllTest, TheImageReachesThePartChunkByChunk) {
  const std::vector<DataCase> cases = {
      {"one chunk", 4096, true, SiteResultCode::Pass, " - Verify Pass"},
      {"two chunks, verify restarts at chunk 0", kChunk + 4096, true, SiteResultCode::Pass,
       " - Verify Pass"},
      {"verify alone streams its chunk, the blank part differs", 4096, false, SiteResultCode::Fail,
       " - Verify Fail!"},
  };
  for (const DataCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig rig(RunRig::Options(1));
    PartPlan part;
    part.dataBytes = c.bytes;
    part.program = c.program;
    part.erase = c.program;
    const std::vector<std::uint8_t> image = PatternImage(c.bytes);
    rig.Load(part, image);
    rig.Bind();
    // Stand-ins for the preparation, which other operations own.
    for (Opcode op : {Opcodes::CheckUsbPower, Opcodes::HardwareSettings, Opcodes::DriverSettings}) {
      rig.system.Opcodes().Register(
          op, [](SiteContext&, const OperationTexts&) { return SiteResultCode::Pass; });
    }
    OpcodeQueue queue = MakeQueue({Opcodes::CheckUsbPower, Opcodes::HardwareSettings,
                                   Opcodes::DriverSettings, Opcodes::RunAll});
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    WaitForSitesOrFail(rig.system);

    EXPECT_EQ(rig.system.RunBytes(0).RunResult, c.result);
    EXPECT_TRUE(rig.captured.Has(Line(c.lastStepLine), c.result == SiteResultCode::Pass
                                                           ? LogColour::Green
                                                           : LogColour::Red));
    const bool pass = c.result == SiteResultCode::Pass;
    EXPECT_EQ(rig.system.Panels().Status(0), pass ? siPass : siFail);
    EXPECT_EQ(rig.system.Panels().PassCount(0), pass ? 1u : 0u);
    EXPECT_EQ(rig.system.Panels().FailCount(0), pass ? 0u : 1u);
    EXPECT_EQ(rig.system.Panels().Totals().Pass, pass ? 1u : 0u);
    EXPECT_EQ(rig.captured.Has(Line(" - RUN ALL Pass"), LogColour::Green), pass);
    if (pass) {
      EXPECT_TRUE(PartCells(rig.Unit(0), c.bytes) == image);
    }
    EXPECT_EQ(rig.Unit(0).partsGood(), pass ? 1u : 0u);

    const std::vector<PartRecord> rows = rig.Records();
    ASSERT_EQ(rows.size(), 1u);
    const PartRecord& row = rows[0];
    EXPECT_EQ(row.Site, 1);
    EXPECT_EQ(row.UnitId, rig.system.Link(0).GetOrderKey());
    EXPECT_EQ(row.ProjectFile, "Demo.zvprj");
    EXPECT_EQ(row.DataCrc, Crc32(image.data(), static_cast<std::uint32_t>(image.size())));
    EXPECT_EQ(row.PartNumber, "AC25Q80");
    EXPECT_EQ(row.Sockets, 1u);
    EXPECT_EQ(row.Pass, pass);
    EXPECT_EQ(row.RunResult, c.result);
    ASSERT_FALSE(row.Steps.empty());
    EXPECT_EQ(row.Steps.back().Code, StepCode::Verify);
    EXPECT_GE(row.Steps.size(), kPartStepWaits);
  }
}

TEST(RunAllTest, ANandRunThatPassesReportsItsBadBlocks) {
  RunRig rig(RunRig::Options(1));
  PartPlan part = SmallNandPart();
  rig.Load(part, PatternImage(part.dataBytes));
  rig.Bind();
  std::vector<std::uint8_t> bitmap(kBadBlockMapBytes, 0xFF);
  for (int n = 0; n < 60; ++n) {
    const int block = 100 + 3 * n;
    bitmap[static_cast<std::size_t>(block / 8)] &= static_cast<std::uint8_t>(~(1u << (block % 8)));
  }
  ASSERT_TRUE(rig.Unit(0).writeMemory(UnitAddress::BadBlockTable, bitmap));

  EXPECT_EQ(RunAll(rig.Site(0)), SiteResultCode::Pass);
  EXPECT_TRUE(rig.captured.Has(Line(" - Total Block = 1024, Good Block = 964, Bad Block = 60"),
                               LogColour::Orange));
  std::vector<std::size_t> perLine;
  for (const std::string& text : rig.captured.TextsOf(0)) {
    if (text.find(" - Bad Block Number = ") == std::string::npos) continue;
    perLine.push_back(static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')));
  }
  EXPECT_EQ(perLine, (std::vector<std::size_t>{10, 9, 9, 9, 9, 5}));
  // The merge carries the data length and the block count of a NAND run.
  const auto merges = rig.Unit(0).record().commandsWithCode(0x0000);
  ASSERT_EQ(merges.size(), 1u);
  EXPECT_EQ(merges[0].block.p(7), part.dataBytes);
}

// A NAND part whose group-define table is one piece: the whole data, 16 blocks of 2 KiB.
struct GroupDefineCase {
  const char* name;
  bool program;
  bool verify;
  std::vector<std::uint16_t> steps;  // the steps the run went through, data chunks included
  bool tablesFilled;
  std::vector<std::string> tails;  // every line of the run, its time left out
};

TEST(RunAllTest, AGroupDefinePieceIsStreamedForProgramAndAgainForVerify) {
  constexpr std::uint16_t I = StepCode::InsertDetect, S = StepCode::BadBlockScan,
                          E = StepCode::ChipErase, D = StepCode::DataChunk, P = StepCode::Program,
                          V = StepCode::Verify;
  const std::vector<std::string> start = {
      " - RUN ALL...",         " - Send Group Define File",  " - Send Group Define File Pass",
      " - Merge Command Send", " - Merge Command Send Pass", " - Insert Detect Pass"};
  const std::vector<std::string> end = {" - Total Block = 1024, Good Block = 1024, Bad Block = 0",
                                        " - RUN ALL Pass"};
  const auto lines = [&](std::vector<std::string> steps) {
    std::vector<std::string> all = start;
    all.insert(all.end(), steps.begin(), steps.end());
    all.insert(all.end(), end.begin(), end.end());
    return all;
  };
  const std::vector<GroupDefineCase> cases = {
      {"program and verify: the one piece again for verify",
       true,
       true,
       {I, S, E, D, P, D, V},
       true,
       lines({" - Bad Block Scan", " - Bad Block Scan Pass", " - Chip Erase",
              " - Chip Erase Finish", " - Program", " - Program Finish", " - Verify",
              " - Verify Pass"})},
      {"verify only",
       false,
       true,
       {I, S, D, V},
       true,
       lines({" - Bad Block Scan", " - Bad Block Scan Pass", " - Verify", " - Verify Pass"})},
      {"neither: the piece tables stay all zero",
       false,
       false,
       {I, S},
       false,
       lines({" - Bad Block Scan", " - Bad Block Scan Pass"})},
  };
  const GroupDefineEntry entry{/*Parameter*/ 5, /*Start*/ 0, /*End*/ 15, /*Size*/ 16};
  for (const GroupDefineCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig rig(RunRig::Options(1));
    PartPlan part = SmallNandPart();
    part.program = part.erase = c.program;
    part.verify = c.verify;
    const std::vector<std::uint8_t> image = PatternImage(part.dataBytes);
    rig.Load(part, image);
    // The part holds the image already, so that Verify alone passes too.
    rig.Unit(0).withState<sim::ProcedureState>([&](sim::ProcedureState& st) {
      st.cells = std::make_unique<sim::UnitMemory>(0, static_cast<std::uint32_t>(image.size()));
      ASSERT_TRUE(st.cells->write(0, image));
    });
    const std::string table = rig.system.Paths().TempDir + kGroupDefineFileName;
    const std::vector<std::uint8_t> file = EncodeGroupDefine({entry});
    std::ofstream(table, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    CProject& project = rig.system.Project().Project();
    project.UsingGroupDefine = true;
    project.ReadGroupDefine(table);
    rig.Bind();

    EXPECT_EQ(RunAll(rig.Site(0)), SiteResultCode::Pass);
    std::vector<std::string> tails;
    for (const std::string& text : rig.captured.TextsOf(0)) {
      if (text.rfind(Line(" - RUN ALL Time = "), 0) != 0) tails.push_back(text.substr(7));
    }
    EXPECT_EQ(tails, c.tails);
    const std::vector<PartRecord> rows = rig.Records();
    ASSERT_EQ(rows.size(), 1u);
    std::vector<std::uint16_t> steps;
    for (const StepRecord& step : rows[0].Steps) steps.push_back(step.Code);
    EXPECT_EQ(steps, c.steps);
    if (c.program) {
      EXPECT_TRUE(PartCells(rig.Unit(0), part.dataBytes) == image);
    }

    // The block at the unit: the file's head, then the four piece tables of one entry each.
    const std::vector<std::uint8_t> block =
        rig.Unit(0).readMemory(UnitAddress::GroupDefine, kGroupDefineBlockBytes);
    ASSERT_EQ(block.size(), kGroupDefineBlockBytes);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), block.begin()));
    const std::pair<std::size_t, std::uint32_t> firsts[] = {
        {GroupDefineBlockOffset::StartBlock, 0},
        {GroupDefineBlockOffset::End, c.tablesFilled ? 15u : 0u},
        {GroupDefineBlockOffset::BlockCount, c.tablesFilled ? 16u : 0u},
        {GroupDefineBlockOffset::Parameter, c.tablesFilled ? 5u : 0u}};
    for (const auto& [at, first] : firsts) {
      EXPECT_EQ(GetLe32(&block[at]), first) << std::hex << at;
      EXPECT_TRUE(std::all_of(block.begin() + static_cast<std::ptrdiff_t>(at + 4),
                              block.begin() + static_cast<std::ptrdiff_t>(at + kPieceTableBytes),
                              [](std::uint8_t byte) { return byte == 0; }))
          << std::hex << at;
    }
    const auto merges = rig.Unit(0).record().commandsWithCode(0x0000);
    ASSERT_EQ(merges.size(), 1u);
    EXPECT_EQ(merges[0].block.p(7), part.dataBytes);
  }
}

struct FailCase {
  const char* name;
  std::function<void(sim::SimUnit&)> arm;
  SiteResult result;
  const char* line;  // the failure's own line
  bool unitStays;
};

TEST(RunAllTest, EveryFailureIsOneFailedPart) {
  const auto part = [](std::function<void(sim::VirtualPart&)> change) {
    return [change](sim::SimUnit& unit) {
      unit.withState<sim::ProcedureState>([&](sim::ProcedureState& st) { change(st.part); });
    };
  };
  const std::vector<FailCase> cases = {
      {"refused merge", [](sim::SimUnit& u) { u.armFault(sim::Fault::refuse().onCode(0x0000)); },
       SiteResultCode::Fail, " - Merge Command Error!", true},
      {"a step fails", part([](sim::VirtualPart& p) { p.protectedCells = true; }),
       SiteResultCode::Fail, " - Chip Erase Fail!", true},
      {"empty socket", part([](sim::VirtualPart& p) { p.inserted = false; }), SiteResultCode::Fail,
       " - IC Was Not Detected!", true},
      {"over-current", part([](sim::VirtualPart& p) { p.overCurrentStep = StepCode::Program; }),
       SiteResultCode::OverCurrentVddVio, " - Program DUT VDD/VIO Over Current!", true},
      {"ack error",
       [](sim::SimUnit& u) { u.armFault(sim::Fault::garbage().onCode(StepCode::ChipErase)); },
       SiteResultCode::Fail, " - Chip Erase Ack Error!", true},
      {"pulled during a data chunk",
       [](sim::SimUnit& u) {
         u.armFault(sim::Fault::leaveAfterChunks(0).onCode(StepCode::DataChunk));
       },
       SiteResultCode::Fail, " - RUN ALL Fail!", false},
      {"pulled during a step wait",
       [](sim::SimUnit& u) { u.armFault(sim::Fault::leaveBus().onCode(StepCode::Program)); },
       SiteResultCode::Fail, " - Program Ack Error!", false},
  };
  for (const FailCase& c : cases) {
    SCOPED_TRACE(c.name);
    RunRig rig(RunRig::Options(1));
    rig.Load(PartPlan{}, PatternImage(4096));
    rig.Bind();
    c.arm(rig.Unit(0));
    EXPECT_EQ(RunAll(rig.Site(0)), c.result);
    EXPECT_EQ(rig.system.RunBytes(0).RunResult, c.result);
    EXPECT_TRUE(rig.captured.Has(Line(c.line), LogColour::Red));
    EXPECT_TRUE(rig.captured.Has(Line(" - RUN ALL Fail!"), LogColour::Red));
    EXPECT_FALSE(rig.captured.Has(Line(" - RUN ALL Pass"), LogColour::Green));
    EXPECT_EQ(rig.system.Panels().FailCount(0), 1u);
    EXPECT_EQ(rig.system.Panels().PassCount(0), 0u);
    EXPECT_EQ(rig.system.Panels().Totals().Fail, 1u);
    EXPECT_EQ(rig.system.Link(0).IsOpened() != 0, c.unitStays);
    EXPECT_EQ(rig.system.Link(0).IsBusy(), 0);
    const std::vector<PartRecord> rows = rig.Records();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_FALSE(rows[0].Pass);
    EXPECT_EQ(rows[0].RunResult, c.result);
    // The plan is the project's again after the run (detection may have changed it).
    EXPECT_EQ(rig.system.Project().Records().ProcessPlan[0].SocketCode[0], kPlanEnabled);
  }
}

TEST(RunAllTest, ARunWithoutSocketsIsNotAPart) {
  RunRig rig(RunRig::Options(1));
  rig.Load(PartPlan{}, PatternImage(4096));
  rig.Bind();
  rig.system.Project().Records().ProcessPlan[0].SocketCode = {0, 0, 0, 0};
  EXPECT_EQ(RunAll(rig.Site(0)), SiteResultCode::Fail);
  EXPECT_TRUE(rig.captured.Has(Line(" - No Choice Textool!"), LogColour::Red));
  EXPECT_EQ(rig.system.Panels().FailCount(0), 0u);
  EXPECT_TRUE(rig.Unit(0).record().commandsWithCode(0x0000).empty());
  EXPECT_TRUE(rig.Records().empty());
}

}  // namespace
