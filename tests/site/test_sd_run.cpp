// RUN ALL from the units' SD cards against simulated units whose cards hold a run project:
// every way a run ends (pass, an empty socket, each thing the unit could not start from, a
// refused start, no socket chosen, a unit pulled in a step) is logged, counted and kept in the
// run bytes as from the PC; the automatic loop cycles parts from the cards on eight sites.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/procedure_commands.h"
#include "site/command.h"
#include "site/ops/sd_run_ops.h"
#include "site/site_wait.h"
#include "tests/site/card_rig.h"

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
  const std::vector<OutcomeCase> cases = {
      {"pass", {}, {}, 0xA0, 0xA0, " - SDCard RUN ALL Pass", LogColour::Green, true, siPass},
      {"socket empty",
       {},
       [](RunRig& rig) {
         rig.Unit(0).withState<sim::ProcedureState>(
             [](sim::ProcedureState& st) { st.part.inserted = false; });
       },
       0xA5,
       0xA5,
       " - SDCard RUN ALL Fail!",
       LogColour::Red,
       true,
       siFail},
      {"no data image on the card", noDetect, removeCardFile("Temp"), 0xA7, 0,
       " - SDCard RUN ALL Fail By Temp Initialization!", LogColour::Red, true, siFail},
      {"a start failure on the detection step is its ack error",
       {},
       removeCardFile("Temp"),
       0xA1,
       0,
       " - Insert Detect Ack Error!",
       LogColour::Red,
       true,
       siFail},
      {"start refused",
       {},
       [](RunRig& rig) { rig.Unit(0).armFault(sim::Fault::refuse()); },
       0xA1,
       0,
       " - SDCard RUN ALL Command Error!",
       LogColour::Red,
       false,
       siFail},
      {"no socket chosen",
       {},
       [](RunRig& rig) {
         rig.system.Project().Records().ProcessPlan[0].SocketCode = {0, 0, 0, 0};
       },
       0xA1,
       0,
       " - No Choice Textool!",
       LogColour::Red,
       false,
       siFail},
      {"unit pulled in the program step",
       {},
       [](RunRig& rig) { rig.Unit(0).armFault(sim::Fault::leaveBus().onCode(StepCode::Program)); },
       0xA1,
       0,
       " - SDCard RUN ALL Fail!",
       LogColour::Red,
       true,
       siNone},
  };
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
    OpcodeQueue queue = MakeQueue({Opcodes::SdRunAll});
    ASSERT_TRUE(Command(rig.system, 0, queue).Started());
    WaitForSites(rig.system);
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
