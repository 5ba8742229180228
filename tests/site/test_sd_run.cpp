// RUN ALL from the units' SD cards against simulated units whose cards hold a run project:
// every way a run ends (pass, an empty socket, each thing the unit could not start from, a
// refused start, no socket chosen, a unit pulled in a step) is logged, counted and kept in the
// run bytes as from the PC; the automatic loop cycles parts from the cards on eight sites.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/procedure_commands.h"
#include "site/command.h"
#include "site/ops/sd_run_ops.h"
#include "site/run_recipes.h"
#include "site/site_wait.h"
#include "support/checksums.h"
#include "tests/site/card_run_rig.h"
#include "tests/site/site_waits.h"
#include "tests/site/soak.h"

namespace {

std::string Line(const std::string& tail) {
  return "Site #1" + tail;
}

sim::RigOptions CardOptions(int units, const std::filesystem::path& cards) {
  sim::RigOptions options = RunRig::Options(units);
  options.sdCardRoot = cards;
  return options;
}

std::filesystem::path CardOf(RunRig& rig, int unit) {
  return rig.Unit(unit).sdCardFolder();
}

struct OutcomeCase {
  const char* name;
  std::function<void(RunRig&, PartPlan&)> arrange;  // before the project is put in place
  std::function<void(RunRig&)> fault;               // after binding, before the run
  SiteResult result;
  std::uint8_t verdict;  // checked when not 0
  const char* lastLine;
  std::uint32_t colour;
  bool counted;  // a failed or passed part
  TSiteStatus status;
};

TEST(SdRunTest, EveryEndIsReportedAndCountedAsFromThePc) {
  auto removeCardFile = [](const char* file) {
    return [file](RunRig& rig) { std::filesystem::remove(CardOf(rig, 0) / "Proj3" / file); };
  };
  auto noDetect = [](RunRig&, PartPlan& part) {
    part.insertDetect = false;
    part.erase = false;
  };
  auto unplug = [](RunRig& rig) {
    rig.Unit(0).withState<sim::ProcedureState>(
        [](sim::ProcedureState& st) { st.part.inserted = false; });
  };
  // Block-organised, with data for four NAND chunks of 16 blocks: from the card the data goes
  // in the card's pieces, so a list cut in NAND chunks would not follow the unit's steps.
  auto nandPart = [](RunRig&, PartPlan& part) {
    part.nand = true;
    part.blockLength = 2048;
    part.processBlocks = 16;
    part.totalBlocks = 1024;
    part.dataBytes = 4 * 16 * 2048;
  };
  auto noSocket = [](RunRig& rig) {
    rig.system.Project().Records().ProcessPlan[0].SocketCode = {0, 0, 0, 0};
  };
  const auto red = LogColour::Red;
  // clang-format off
  const std::vector<OutcomeCase> cases = {
      {"pass", {}, {}, 0xA0, 0xA0, " - SDCard RUN ALL Pass", LogColour::Green, true, siPass},
      {"socket empty", {}, unplug, 0xA5, 0xA5, " - SDCard RUN ALL Fail!", red, true, siFail},
      {"no data image on the card", noDetect, removeCardFile("Temp"), 0xA7, 0,
       " - SDCard RUN ALL Fail By Temp Initialization!", red, true, siFail},
      {"no menu on the card", noDetect, removeCardFile("Menu"), 0xA5, 0,
       " - SDCard RUN ALL Fail By Menu Initialization!", red, true, siFail},
      {"a NAND part", nandPart, {}, 0xA0, 0xA0, " - SDCard RUN ALL Pass", LogColour::Green, true,
       siPass},
      {"a start failure on the detection step is its ack error", {}, removeCardFile("Temp"), 0xA1,
       0, " - Insert Detect Ack Error!", red, true, siFail},
      {"no socket chosen", {}, noSocket, 0xA1, 0, " - No Choice Textool!", red, false, siFail},
  };
  // clang-format on
  for (const OutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder cards;
    RunRig rig(CardOptions(1, std::filesystem::path(cards.Base())));
    PartPlan part;
    if (c.arrange) c.arrange(rig, part);
    const std::vector<std::uint8_t> image = PatternImage(part.dataBytes);
    rig.Load(part, image);
    card_rig::PutRunProject(std::filesystem::path(cards.Base()) / "Site1", 3, part, image);
    rig.Bind();
    if (c.fault) c.fault(rig);
    // A run the PC cannot follow would wait for a step reply without end: the unit leaves the
    // bus after 30 s, so such a case fails instead of hanging.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    rig.host.SetProcessMessagesHook([&rig, deadline] {
      if (std::chrono::steady_clock::now() > deadline) rig.rig.bus->pull(rig.Unit(0));
    });
    OpcodeQueue queue = MakeQueue({Opcodes::SdRunAll});
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    WaitForSitesOrFail(rig.system);
    rig.system.Shutdown();

    if (c.counted) {
      EXPECT_EQ(rig.system.RunBytes(0).RunResult, c.result);
    }
    if (c.verdict != 0) {
      EXPECT_EQ(rig.system.RunBytes(0).RunVerdict, c.verdict);
    }
    EXPECT_TRUE(rig.captured.Has(Line(c.lastLine), c.colour));
    const bool pass = c.result == SiteResultCode::Pass;
    EXPECT_EQ(rig.system.Panels().PassCount(0), c.counted && pass ? 1u : 0u);
    EXPECT_EQ(rig.system.Panels().FailCount(0), c.counted && !pass ? 1u : 0u);
    EXPECT_EQ(rig.system.Panels().Status(0), c.status);
    EXPECT_EQ(rig.Records().size(), c.counted ? 1u : 0u);
    EXPECT_EQ(rig.rig.partsGood() + rig.rig.partsFailed(), c.counted ? 1u : 0u);
    if (pass) {
      std::vector<std::uint8_t> cells;
      rig.Unit(0).withState<sim::ProcedureState>(
          [&](sim::ProcedureState& st) { cells = st.cells->readVector(0, image.size()); });
      EXPECT_EQ(cells, image);  // the data came from the card
    }
  }
}

}  // namespace

namespace {

constexpr std::uint32_t kDefaultSoakParts = 240;

// Eight sites load their cards' run projects (no project on the PC) and loop on them with the
// virtual operator and failing parts (sockets found empty among them) until the part count, then
// "Stop All": the counters, the statistics, the records and the units' own tally agree exactly.
TEST(SdRunTest, EightCardLoopsAgreeWithTheUnitsAndTheRecords) {
  const std::uint32_t kParts = SoakParts("ZV_SD_SOAK_PARTS", kDefaultSoakParts);
  TestFolder cards;
  sim::RigOptions options = CardOptions(kSiteCount, std::filesystem::path(cards.Base()));
  options.virtualOperator = true;
  options.failRate = 0.05;
  options.failMix.overCurrent = 0;
  options.seed = 23;
  RunRig rig(options);
  PartPlan part;
  part.dataBytes = 1024;
  part.id = true;
  const std::vector<std::uint8_t> image = PatternImage(part.dataBytes);
  for (int unit = 0; unit < kSiteCount; ++unit) {
    card_rig::PutRunProject(CardOf(rig, unit), unit % 3, part, image);
  }
  rig.Bind();
  ExpectSoakAgrees(rig, LoopUntilParts(rig, RunRecipe::SdAutoRun, kParts), kParts);
  EXPECT_EQ(rig.captured.TextsOf(0).empty(), false);
}

}  // namespace

namespace {

struct QueueCase {
  const char* name;
  std::function<void(RunRig&)> arrange;  // on unit 1's card or unit, after binding
  const char* line;                      // site 2's last failure line
  bool counted;                          // site 2 counted a failed part
};

// The main window's SD run (9, 17, 27, 25) on two sites with no project loaded on the PC: the
// card's run project fills each site's records. A fault on the second site stops its queue with
// one red line; the first site's run goes on and passes.
TEST(SdRunTest, EachFailureStopsOnlyItsOwnSite) {
  auto onCard = [](std::function<void(const std::filesystem::path&)> change) {
    return [change](RunRig& rig) { change(CardOf(rig, 1)); };
  };
  const std::vector<QueueCase> cases = {
      {"no fault", {}, nullptr, false},
      {"no card",
       onCard([](const std::filesystem::path& card) { std::filesystem::remove_all(card); }),
       " - Not Find List File!", false},
      {"no run project named", onCard([](const std::filesystem::path& card) {
         card_rig::WriteFile(card / "List", card_rig::Bytes("[ListName]\nProjCount=1\n"));
       }),
       " - Get Project's Number Fail!", false},
      {"a damaged data image", onCard([](const std::filesystem::path& card) {
         card_rig::WriteFile(card / "Proj1" / "Temp", std::vector<std::uint8_t>(512, 0));
       }),
       " - Compare Temp Checksum Fail!", false},
      {"no checksum file", onCard([](const std::filesystem::path& card) {
         std::filesystem::remove(card / "Proj1" / "Checksum");
       }),
       " - Get Checksum's File Fail!", false},
      {"a checksum file too short for eight sums", onCard([](const std::filesystem::path& card) {
         card_rig::WriteFile(card / "Proj1" / "Checksum", std::vector<std::uint8_t>(31, 0));
       }),
       " - Read Checksun File Fail!", false},
      {"the start refused",
       [](RunRig& rig) {
         // The start frame carries no command code: the fault aims at code 0.
         rig.Unit(1).armFault(sim::Fault::refuse().onCode(0));
       },
       " - SDCard RUN ALL Command Error!", false},
      {"unit pulled in the verify step",
       [](RunRig& rig) { rig.Unit(1).armFault(sim::Fault::leaveBus().onCode(StepCode::Verify)); },
       " - SDCard RUN ALL Fail!", true},
  };
  for (const QueueCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestFolder cards;
    RunRig rig(CardOptions(2, std::filesystem::path(cards.Base())));
    PartPlan part;
    part.dataBytes = 2048;
    const std::vector<std::uint8_t> image = PatternImage(part.dataBytes);
    for (int unit = 0; unit < 2; ++unit) card_rig::PutRunProject(CardOf(rig, unit), 1, part, image);
    rig.Bind();
    if (c.arrange) c.arrange(rig);
    RunSession& session = rig.system.Session();
    const StartedRun run = session.Start(RunRecipe::SdRun, SiteChoice::SelectedSites());
    EXPECT_EQ(run.sites.size(), 2u);
    session.Wait(run);
    rig.system.Shutdown();

    // The units bind in the order of their identifiers: find the site of the faulty one.
    const int good = rig.system.Panels().Status(0) == siPass ? 0 : 1;
    const int bad = 1 - good;
    SitePanels& panels = rig.system.Panels();
    EXPECT_EQ(panels.Status(good), siPass);
    EXPECT_EQ(panels.PassCount(good), 1u);
    const std::string goodSite = "Site #" + std::to_string(good + 1);
    EXPECT_TRUE(rig.captured.Has(goodSite + " - SDCard RUN ALL Pass", LogColour::Green));
    const ProjectRecords& records = rig.system.Project().Records();
    EXPECT_EQ(records.ProjectValue[SiteSlot(good)].PartsNumber, "AC25Q80");  // from the card
    EXPECT_EQ(records.ProcessPlan[SiteSlot(good)].MainLength, part.dataBytes);
    const std::string temp = rig.system.Paths().TempDir;
    EXPECT_FALSE(std::filesystem::exists(temp + "Proj" + std::to_string(good)));
    EXPECT_FALSE(std::filesystem::exists(temp + "List" + std::to_string(good)));
    const std::vector<PartRecord> rows = rig.Records();
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const PartRecord& r) { return r.Site == good + 1; });
    ASSERT_NE(row, rows.end());
    EXPECT_EQ(row->ProjectFile, "Demo");  // the card's run project
    EXPECT_EQ(row->DataCrc, Crc32(image.data(), static_cast<std::uint32_t>(image.size())));
    if (c.line == nullptr) {
      EXPECT_EQ(panels.Status(bad), siPass);
      continue;
    }
    EXPECT_TRUE(rig.captured.Has("Site #" + std::to_string(bad + 1) + c.line, LogColour::Red));
    EXPECT_NE(panels.Status(bad), siPass);
    EXPECT_EQ(panels.PassCount(bad), 0u);
    EXPECT_EQ(panels.FailCount(bad), c.counted ? 1u : 0u);
  }
}

}  // namespace

namespace {

// The automatic loop from the card ends at the first part the unit cannot start from its card
// (each code of its own), counted once, instead of failing one part on every pass.
TEST(SdRunTest, TheLoopEndsWhenTheUnitCannotStartFromItsCard) {
  struct Row {
    const char* name;
    std::function<void(const std::filesystem::path& slot)> damage;
    SiteResult result;
    const char* line;
  };
  const auto remove = [](const char* file) {
    return [file](const std::filesystem::path& slot) { std::filesystem::remove(slot / file); };
  };
  const Row rows[] = {
      {"no option record", remove("Option"), 0xA6,
       " - SDCard RUN ALL Fail By Option Initialization!"},
      {"no data image", remove("Temp"), 0xA7, " - SDCard RUN ALL Fail By Temp Initialization!"},
      {"a wrong sum",
       [](const std::filesystem::path& slot) {
         card_rig::WriteFile(slot / "Checksum", std::vector<std::uint8_t>(32, 0));
       },
       0xA8, " - SDCard RUN ALL Fail By Checksum Initialization!"},
      {"no run project named",
       [](const std::filesystem::path& slot) {
         card_rig::WriteFile(slot.parent_path() / "List",
                             card_rig::Bytes("[ListName]\nProjCount=1\n"));
       },
       0xA9, " - SDCard RUN ALL Fail By Merge Command Initialization!"},
      {"a short hardware image",
       [](const std::filesystem::path& slot) {
         std::filesystem::resize_file(slot / "Hardware", 16383);
       },
       0xAA, " - SDCard RUN ALL Fail By Hardware Initialization!"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TestFolder cards;
    RunRig rig(CardOptions(1, std::filesystem::path(cards.Base())));
    PartPlan part;
    part.insertDetect = false;
    part.erase = false;
    const std::vector<std::uint8_t> image = PatternImage(part.dataBytes);
    rig.Load(part, image);
    const std::filesystem::path card = std::filesystem::path(cards.Base()) / "Site1";
    card_rig::PutRunProject(card, 2, part, image);
    row.damage(card / "Proj2");
    rig.Bind();
    rig.system.Controls().AutoRunInterval = 1;
    rig.system.Controls().StopAllEnabled = true;
    // A loop that goes on counting is stopped at its second part, and at the latest after 30 s.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    rig.host.SetProcessMessagesHook([&rig, deadline] {
      if (rig.system.Panels().FailCount(0) > 1 || std::chrono::steady_clock::now() > deadline) {
        rig.system.Controls().StopAllEnabled = false;
      }
    });
    OpcodeQueue queue = MakeQueue({Opcodes::SdAutoRunLoop});
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    WaitForSitesOrFail(rig.system);
    rig.system.Shutdown();
    EXPECT_EQ(rig.system.RunBytes(0).RunResult, row.result);
    EXPECT_EQ(rig.system.Panels().FailCount(0), 1u);
    EXPECT_EQ(rig.system.Panels().PassCount(0), 0u);
    EXPECT_EQ(rig.system.Panels().Status(0), siFail);
    EXPECT_EQ(rig.captured.TextsOf(0),
              (std::vector<std::string>{Line(" - SDCard RUN ALL..."), Line(row.line),
                                        Line(" - RUN ALL Procedure is Fail!")}));
  }
}

}  // namespace
