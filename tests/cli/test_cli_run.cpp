// gangprog-cli on simulated units: scan, run (once and as the automatic loop, ended by a part
// count or Ctrl-C), a bad project, no unit, and the records the runs leave.
#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>

#include "site/site_system.h"
#include "tests/cli/cli_fixture.h"
#include "tests/site/card_run_rig.h"

namespace {
using Json = nlohmann::json;

std::vector<Json> EventsOf(const std::vector<Json>& lines, const std::string& kind) {
  std::vector<Json> events;
  for (const Json& line : lines) {
    if (line.value("event", "") == kind) events.push_back(line);
  }
  return events;
}

bool Has(const std::string& text, const std::string& piece) {
  return text.find(piece) != std::string::npos;
}

TEST_F(CliTest, ScanGreetsOrdersAndListsTheUnits) {
  const CliResult plain = Run({"--simulate", "3", "--base-dir", Base(), "scan"});
  EXPECT_EQ(plain.status, CliExit::AllPassed) << plain.err;
  EXPECT_TRUE(Has(plain.out, "Site  State      OrderKey            Device\n"));
  EXPECT_TRUE(Has(plain.out, "\n3     READY      0x"));
  EXPECT_TRUE(Has(plain.out, "\n4     NONE       -                   -\n"));

  const CliResult json = Run({"--simulate", "3", "--base-dir", Base(), "scan", "--json"});
  EXPECT_EQ(json.status, CliExit::AllPassed) << json.err;
  const std::vector<Json> lines = JsonLines(json);  // the log went to the error stream
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["units"], 3);
  ASSERT_EQ(lines[0]["sites"].size(), 8u);
  std::vector<std::string> keys;
  for (int site = 0; site < 3; ++site) {
    EXPECT_EQ(lines[0]["sites"][site]["state"], "READY");
    keys.push_back(lines[0]["sites"][site]["order_key"]);
  }
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << "sites ordered by identifier";
  EXPECT_EQ(lines[0]["sites"][3]["state"], "NONE");
}

TEST_F(CliTest, NoUnitAndBadInputHaveTheirOwnStatus) {
  EXPECT_EQ(Run({"--simulate", "0", "--base-dir", Base(), "scan"}).status, CliExit::NoUnit);
  const CliResult noUnit =
      Run({"--simulate", "0", "--base-dir", Base(), "run", "--project", Project()},
          [](SiteSystem& s) { RegisterStandIns(s, [](int, int) { return true; }); });
  EXPECT_EQ(noUnit.status, CliExit::NoUnit) << noUnit.err;

  // A base folder that is no installation: the start-up fails as the window program's does,
  // after a line that names the missing folder.
  const CliResult noBase = Run({"--simulate", "2", "--base-dir", Base() + "nothing/", "scan"});
  EXPECT_EQ(noBase.status, CliExit::BadInput);
  std::vector<std::string> texts;
  for (const std::string& line : noBase.OutLines())
    texts.push_back(line.substr(line.find("] ") + 2));
  EXPECT_EQ(texts, (std::vector<std::string>{"Folder Does Not Exist: " + Base() + "nothing/",
                                             "System Initialization Fail!"}));

  const CliResult badTrace =
      Run({"--simulate", "1", "--base-dir", Base(), "--usb-trace", Base() + "no/dir/t", "scan"});
  EXPECT_EQ(badTrace.status, CliExit::BadInput);
  EXPECT_TRUE(Has(badTrace.err, "USB trace"));
}

TEST_F(CliTest, ABadProjectGivesTheProgramsMessageAndStatusTwo) {
  {
    std::ofstream damaged(Base() + "damaged.zvprj", std::ios::binary);
    damaged << "7z? not at all";
  }
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Base() + "damaged.zvprj", "ERROR: Decryption Fail!"},
      {Base() + "missing.zvprj", "ERROR: Project's File Does Not Exist!"},
  };
  for (const auto& [project, message] : cases) {
    const CliResult result =
        Run({"--simulate", "2", "--base-dir", Base(), "run", "--project", project});
    EXPECT_EQ(result.status, CliExit::BadInput) << project;
    EXPECT_TRUE(Has(result.err, message)) << result.err;
  }
}

TEST_F(CliTest, OneRunOnEverySiteEndsWithTheSummaryAndTheStatusOfItsParts) {
  struct RunCase {
    const char* name;
    int failingSite;  // -1: none
    std::vector<std::string> sites;
    int parts;
    int status;
  };
  const std::vector<RunCase> cases = {
      {"all pass", -1, {}, 3, CliExit::AllPassed},
      {"site 2 fails", 1, {}, 3, CliExit::PartFailed},
      {"chosen sites", -1, {"--sites", "1,3"}, 2, CliExit::AllPassed},
  };
  for (const RunCase& c : cases) {
    std::vector<std::string> args = {"--simulate", "3",         "--base-dir", Base(),
                                     "run",        "--project", Project(),    "--json"};
    args.insert(args.end(), c.sites.begin(), c.sites.end());
    const int failing = c.failingSite;
    const CliResult result = Run(args, [failing](SiteSystem& s) {
      RegisterStandIns(s, [failing](int site, int) { return site != failing; });
    });
    EXPECT_EQ(result.status, c.status) << c.name << "\n" << result.err;
    const std::vector<Json> lines = JsonLines(result);
    ASSERT_FALSE(lines.empty()) << c.name;
    const Json& summary = lines.back();
    EXPECT_EQ(summary["event"], "summary") << c.name;
    EXPECT_EQ(summary["parts"], c.parts) << c.name;
    EXPECT_EQ(summary["failed"], failing < 0 ? 0 : 1) << c.name;
    EXPECT_EQ(summary["passed"], c.parts - (failing < 0 ? 0 : 1)) << c.name;

    const std::vector<Json> parts = EventsOf(lines, "part");
    ASSERT_EQ(parts.size(), static_cast<std::size_t>(c.parts)) << c.name;
    for (const Json& part : parts) {
      const bool pass = part["site"] != failing + 1;
      EXPECT_EQ(part["pass"], pass) << c.name;
      EXPECT_EQ(part["run_result"], pass ? "A0" : "A1");
      EXPECT_EQ(part["sockets"], Json::array({1, 2}));
      EXPECT_EQ(part["steps"].size(), 2u);
      EXPECT_EQ(part["elapsed_ms"], 19);
    }
    EXPECT_EQ(EventsOf(lines, "step").size(), 2u * c.parts) << c.name;
    EXPECT_FALSE(EventsOf(lines, "site").empty()) << c.name;
  }
}

// The real preparation and RUN ALL on the simulated units, end to end: every part passes, and a
// failing share of the parts turns the status.
TEST_F(CliTest, TheRealOperationsProgramTheSimulatedParts) {
  CliResult result = Run({"--simulate", "2", "--base-dir", Base(), "run", "--project", Project()});
  EXPECT_EQ(result.status, CliExit::AllPassed) << result.err;
  EXPECT_TRUE(Has(result.out, "Parts: 2, Passed: 2, Failed: 0")) << result.out;

  result = Run({"--simulate", "2", "--sim-fail-rate", "1", "--base-dir", Base(), "run", "--project",
                Project()});
  EXPECT_EQ(result.status, CliExit::PartFailed) << result.err;
  EXPECT_TRUE(Has(result.out, "Parts: 2, Passed: 0, Failed: 2")) << result.out;
}

// "sd run": each simulated unit runs the run project of its own card, once and as the loop;
// without cards the units cannot say which project to run.
TEST_F(CliTest, SdRunProgramsThePartsFromEachUnitsCard) {
  const std::string cards = Base() + "cards";
  PartPlan part;
  for (int unit = 0; unit < 2; ++unit) {
    card_rig::PutRunProject(cards + "/Site" + std::to_string(unit + 1), 2, part,
                            PatternImage(part.dataBytes));
  }
  CliResult result =
      Run({"--simulate", "2", "--sim-cards", cards, "--base-dir", Base(), "sd", "run"});
  EXPECT_EQ(result.status, CliExit::AllPassed) << result.err;
  EXPECT_TRUE(Has(result.out, "Parts: 2, Passed: 2, Failed: 0")) << result.out;
  EXPECT_TRUE(Has(result.out, "Site #2 - SDCard RUN ALL Pass")) << result.out;

  result = Run({"--simulate", "2", "--sim-cards", cards, "--base-dir", Base(), "sd", "run",
                "--auto", "--parts", "6", "--json"});
  EXPECT_EQ(result.status, CliExit::AllPassed) << result.err;
  EXPECT_GE(JsonLines(result).back()["parts"], 6);

  result = Run({"--simulate", "1", "--base-dir", Base(), "sd", "run"});
  EXPECT_EQ(result.status, CliExit::PartFailed) << result.err;
  EXPECT_TRUE(Has(result.out, "Site #1 - Not Find List File!")) << result.out;
}

TEST_F(CliTest, TheAutomaticLoopStopsLikeStopAllAfterThePartCount) {
  // A count: every loop ends after the part in hand, so at most one part per other site more.
  const CliResult counted =
      Run({"--simulate", "3", "--base-dir", Base(), "run", "--project", Project(), "--auto",
           "--parts", "20", "--json"},
          [](SiteSystem& s) { RegisterStandIns(s, [](int, int part) { return part % 5 != 4; }); });
  EXPECT_EQ(counted.status, CliExit::PartFailed) << counted.err;  // every fifth part fails
  const Json summary = JsonLines(counted).back();
  EXPECT_GE(summary["parts"], 20);
  EXPECT_LE(summary["parts"], 22);
  EXPECT_EQ(EventsOf(JsonLines(counted), "part").size(), summary["parts"].get<std::size_t>());
}

TEST_F(CliTest, CtrlCEndsTheAutomaticLoopAfterThePartInHand) {
  // One unit, so that the stop after its third part leaves exactly three parts.
  StopRequest& stop = stop_;
  const CliResult stopped =
      Run({"--simulate", "1", "--base-dir", Base(), "run", "--project", Project(), "--auto"},
          [&stop](SiteSystem& s) {
            RegisterStandIns(
                s, [](int, int) { return true; },
                [&stop](int site, int part) {
                  if (site == 0 && part == 2) stop.Request();
                });
          });
  EXPECT_EQ(stopped.status, CliExit::AllPassed) << stopped.err << stopped.out;
  EXPECT_TRUE(Has(stopped.out, "Parts: 3, Passed: 3, Failed: 0\n")) << stopped.out;
}

TEST_F(CliTest, RecordsOfTheRunsInEveryFormat) {
  const CliResult empty = Run({"--base-dir", Base(), "records", "--csv"});
  EXPECT_EQ(empty.status, CliExit::AllPassed) << empty.err;
  EXPECT_EQ(empty.OutLines().size(), 1u) << "the header only";

  const CliResult run =
      Run({"--simulate", "3", "--base-dir", Base(), "run", "--project", Project()},
          [](SiteSystem& s) { RegisterStandIns(s, [](int site, int) { return site != 2; }); });
  ASSERT_EQ(run.status, CliExit::PartFailed) << run.err;

  const CliResult csv = Run({"--base-dir", Base(), "records", "--csv"});
  EXPECT_EQ(csv.OutLines().size(), 4u) << csv.out;
  const CliResult json = Run({"--base-dir", Base(), "records", "--json"});
  const std::vector<Json> lines = JsonLines(json);
  ASSERT_EQ(lines.size(), 3u);
  int failed = 0;
  for (const Json& line : lines) failed += line["pass"] ? 0 : 1;
  EXPECT_EQ(failed, 1);
  const CliResult text = Run({"--base-dir", Base(), "records"});
  EXPECT_TRUE(Has(text.out, "Site #3  Demo Part  A1  FAIL  0.019 s")) << text.out;
  EXPECT_TRUE(Has(text.out, "3 records"));
  const CliResult future =
      Run({"--base-dir", Base(), "records", "--json", "--since", "2999-01-01"});
  EXPECT_TRUE(future.out.empty()) << future.out;

  {
    std::ofstream damaged(Base() + "History/Records.db", std::ios::binary | std::ios::trunc);
    damaged << std::string(4096, 'x');
  }
  const CliResult broken = Run({"--base-dir", Base(), "records"});
  EXPECT_EQ(broken.status, CliExit::BadInput);
  EXPECT_TRUE(Has(broken.err, "cannot be read")) << broken.err;
}
}  // namespace
