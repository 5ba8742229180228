// gangprog-cli on simulated units: scan, run (once and as the automatic loop, ended by a part
// count or Ctrl-C), a bad project, no unit, and the records the runs leave.
#include <algorithm>
#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

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

  // A chosen site without a unit: no site starts, not even the chosen one with a unit.
  std::atomic<int> parts{0};
  const CliResult missing = Run({"--simulate", "3", "--base-dir", Base(), "run", "--project",
                                 Project(), "--sites", "2,5", "--json"},
                                [&parts](SiteSystem& s) {
                                  RegisterStandIns(s, [&parts](int, int) {
                                    ++parts;
                                    return true;
                                  });
                                });
  EXPECT_EQ(missing.status, CliExit::NoUnit) << missing.err;
  EXPECT_EQ(parts, 0);
  for (const Json& line : JsonLines(missing)) {
    EXPECT_EQ(line["event"], "site") << line;  // the greeting's states only: no part, no summary
    EXPECT_TRUE(line["state"] != "PASS" && line["state"] != "FAIL") << line;  // nothing ran
  }
  std::vector<std::string> logged;  // without the time stamps
  std::istringstream err(missing.err);
  for (std::string line; std::getline(err, line);)
    logged.push_back(line.substr(line.find("] ") + 2));
  EXPECT_EQ(logged, (std::vector<std::string>{"Load Project Complete", "Site #5 - No Unit!"}));

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
  using SitePart = std::pair<int, bool>;  // site number, passed
  struct RunCase {
    const char* name;
    int units;
    std::vector<std::string> options;
    PartVerdict verdict;
    std::vector<SitePart> parts;  // by site, each site's in run order
    int status;
  };
  const auto failingSite = [](int failing) {
    return PartVerdict([failing](int site, int) { return site != failing; });
  };
  const std::vector<RunCase> cases = {
      {"all pass", 3, {}, failingSite(-1), {{1, true}, {2, true}, {3, true}}, CliExit::AllPassed},
      {"site 2 fails",
       3,
       {},
       failingSite(1),
       {{1, true}, {2, false}, {3, true}},
       CliExit::PartFailed},
      {"chosen sites",
       3,
       {"--sites", "1,3"},
       failingSite(-1),
       {{1, true}, {3, true}},
       CliExit::AllPassed},
      // The site ends on a passed part: only the count of failed parts turns the status.
      {"the loop's first part fails, its last passes",
       1,
       {"--auto", "--parts", "3"},
       [](int, int part) { return part != 0; },
       {{1, false}, {1, true}, {1, true}},
       CliExit::PartFailed},
  };
  for (const RunCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> args = {
        "--simulate", std::to_string(c.units), "--base-dir", Base(), "run", "--project", Project(),
        "--json"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const PartVerdict verdict = c.verdict;
    const CliResult result = Run(args, [verdict](SiteSystem& s) { RegisterStandIns(s, verdict); });
    EXPECT_EQ(result.status, c.status) << result.err;
    const std::vector<Json> lines = JsonLines(result);
    ASSERT_FALSE(lines.empty());
    const auto failed = static_cast<int>(
        std::count_if(c.parts.begin(), c.parts.end(), [](const SitePart& p) { return !p.second; }));
    const Json& summary = lines.back();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["parts"], c.parts.size());
    EXPECT_EQ(summary["failed"], failed);
    EXPECT_EQ(summary["passed"], static_cast<int>(c.parts.size()) - failed);

    std::vector<SitePart> parts;
    for (const Json& part : EventsOf(lines, "part")) {
      const bool pass = part["pass"];
      parts.emplace_back(part["site"].get<int>(), pass);
      EXPECT_EQ(part["run_result"], pass ? "A0" : "A1");
      EXPECT_EQ(part["sockets"], Json::array({1, 2}));
      EXPECT_EQ(part["steps"].size(), 2u);
      EXPECT_EQ(part["elapsed_ms"], 19);
    }
    std::stable_sort(parts.begin(), parts.end(),
                     [](const SitePart& a, const SitePart& b) { return a.first < b.first; });
    EXPECT_EQ(parts, c.parts);
    EXPECT_EQ(EventsOf(lines, "step").size(), 2u * c.parts.size());
    EXPECT_FALSE(EventsOf(lines, "site").empty());
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
