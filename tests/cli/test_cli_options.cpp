// The command line of gangprog-cli: what is taken, and what is refused with status 2.
#include <gtest/gtest.h>

#include "cli/cli_options.h"

namespace {
struct Case {
  std::vector<std::string> args;
  int status;
  const char* saying;  // a piece of the output, or nullptr
};

TEST(CliOptions, StatusAndTextOfEveryKindOfCommandLine) {
  const std::vector<Case> cases = {
      {{"--version"}, CliExit::AllPassed, "gangprog-cli 1."},
      {{"--help"}, CliExit::AllPassed, "Subcommands:"},
      {{"run", "--help"}, CliExit::AllPassed, "--project"},
      {{}, CliExit::BadInput, "subcommand"},
      {{"frobnicate"}, CliExit::BadInput, nullptr},
      {{"scan", "--verbose"}, CliExit::BadInput, "--verbose"},
      {{"--simulate", "17", "scan"}, CliExit::BadInput, "--simulate"},
      {{"--simulate", "-1", "scan"}, CliExit::BadInput, "--simulate"},
      {{"--simulate", "8x", "scan"}, CliExit::BadInput, "--simulate"},
      {{"--simulate", "scan"}, CliExit::BadInput, nullptr},
      {{"--sim-fail-rate", "1.5", "scan"}, CliExit::BadInput, "--sim-fail-rate"},
      {{"--sim-fail-rate", "nan", "scan"}, CliExit::BadInput, "--sim-fail-rate"},
      {{"--sim-fail-rate", "-0.1", "scan"}, CliExit::BadInput, "--sim-fail-rate"},
      {{"--sim-speed", "0", "scan"}, CliExit::BadInput, "--sim-speed"},
      {{"--sim-speed", "inf", "scan"}, CliExit::BadInput, "--sim-speed"},
      {{"--sim-speed", "nan", "scan"}, CliExit::BadInput, "--sim-speed"},
      {{"run"}, CliExit::BadInput, "--project"},
      {{"run", "--project", "p", "--sites", "0"}, CliExit::BadInput, "--sites"},
      {{"run", "--project", "p", "--sites", "9"}, CliExit::BadInput, "--sites"},
      {{"run", "--project", "p", "--sites", "1,x"}, CliExit::BadInput, "--sites"},
      {{"run", "--project", "p", "--sites", "2,2"}, CliExit::BadInput, "listed twice"},
      {{"run", "--project", "p", "--parts", "5"}, CliExit::BadInput, "--auto"},
      {{"run", "--project", "p", "--auto", "--parts", "0"}, CliExit::BadInput, "--parts"},
      {{"run", "--project", "p", "--auto", "--parts", "many"}, CliExit::BadInput, "--parts"},
      {{"firmware", "--check", "--update"}, CliExit::BadInput, "excludes"},
      {{"firmware", "--sites", "1"}, CliExit::BadInput, "--sites"},
      {{"sd"}, CliExit::BadInput, nullptr},
      {{"sd", "add"}, CliExit::BadInput, "--project"},
      {{"sd", "copy"}, CliExit::BadInput, "--from"},
      {{"sd", "delete"}, CliExit::BadInput, "SLOT"},
      {{"sd", "delete", "31"}, CliExit::BadInput, "SLOT"},
      {{"sd", "format"}, CliExit::BadInput, "--yes"},
      {{"sd", "--sites", "1,1", "list"}, CliExit::BadInput, "listed twice"},
      {{"records", "--csv", "--json"}, CliExit::BadInput, nullptr},
      {{"records", "--since", "2024-13-01"}, CliExit::BadInput, "--since"},
      {{"records", "--since", "2024-12-32"}, CliExit::BadInput, "--since"},
      {{"records", "--since", "yesterday"}, CliExit::BadInput, "--since"},
      {{"records", "push"}, CliExit::BadInput, "--to"},
      {{"records", "report"}, CliExit::BadInput, "--by"},
      {{"records", "report", "--by", "day"}, CliExit::BadInput, "--by"},
      {{"records", "report", "--by", "site", "--since", "2024-05-01T24:00"},
       CliExit::BadInput,
       "--since"},
      {{"records", "report", "--by", "site", "--since", "2024-05-01T10:00+2"},
       CliExit::BadInput,
       "--since"},
      {{"records", "report", "--by", "site", "--csv", "--json"}, CliExit::BadInput, nullptr},
  };
  for (const Case& c : cases) {
    const std::string shown = testing::PrintToString(c.args);
    const ParsedCommandLine parsed = ParseCliCommandLine(c.args);
    EXPECT_FALSE(parsed.options.has_value()) << shown;
    EXPECT_EQ(parsed.exitCode, c.status) << shown;
    if (c.saying != nullptr) {
      EXPECT_NE((parsed.out + parsed.err).find(c.saying), std::string::npos)
          << shown << "\n"
          << parsed.out << parsed.err;
    }
  }
}

TEST(CliOptions, AcceptedCommandLinesGiveTheirValues) {
  const ParsedCommandLine run =
      ParseCliCommandLine({"--simulate", "8", "--base-dir", "build/demo", "--sim-fail-rate", "0.25",
                           "--sim-speed", "50", "run", "--project", "p.zvprj", "--sites", "1,3,5",
                           "--auto", "--parts", "200", "--json"});
  ASSERT_TRUE(run.options.has_value()) << run.err;
  const CliOptions& o = *run.options;
  EXPECT_EQ(o.command, CliCommand::Run);
  EXPECT_EQ(o.simulate, 8);
  EXPECT_EQ(o.baseDir, "build/demo");
  EXPECT_DOUBLE_EQ(o.simFailRate, 0.25);
  EXPECT_DOUBLE_EQ(o.simSpeed, 50.0);
  EXPECT_EQ(o.project, "p.zvprj");
  EXPECT_EQ(o.sites, (std::vector<int>{0, 2, 4}));  // site numbers become indexes
  EXPECT_TRUE(o.autoRun);
  EXPECT_EQ(o.parts, 200);
  EXPECT_TRUE(o.json);

  // The global options may follow the subcommand; no --simulate means the real bus.
  const ParsedCommandLine scan = ParseCliCommandLine({"scan", "--base-dir", "x"});
  ASSERT_TRUE(scan.options.has_value()) << scan.err;
  EXPECT_EQ(scan.options->command, CliCommand::Scan);
  EXPECT_EQ(scan.options->baseDir, "x");
  EXPECT_FALSE(scan.options->simulate.has_value());
  EXPECT_FALSE(scan.options->json);
  EXPECT_DOUBLE_EQ(scan.options->simSpeed, 1.0);

  for (const auto& [flag, format, day] :
       std::vector<std::tuple<const char*, RecordFormat, const char*>>{
           {"--csv", RecordFormat::Csv, "2024-02-29"},
           {"--json", RecordFormat::Json, "2024-12-31"}}) {
    const ParsedCommandLine records = ParseCliCommandLine({"records", "--since", day, flag});
    ASSERT_TRUE(records.options.has_value()) << records.err;
    EXPECT_EQ(records.options->format, format);
    EXPECT_EQ(records.options->since, day);
  }
  EXPECT_EQ(ParseCliCommandLine({"records"}).options->format, RecordFormat::Text);

  const ParsedCommandLine push = ParseCliCommandLine(
      {"records", "push", "--to", "postgresql://line/trail", "--base-dir", "b"});
  ASSERT_TRUE(push.options.has_value()) << push.err;
  EXPECT_EQ(push.options->recordsAction, RecordsAction::Push);
  EXPECT_EQ(push.options->pushTo, "postgresql://line/trail");
  EXPECT_EQ(push.options->baseDir, "b");
  const ParsedCommandLine report = ParseCliCommandLine(
      {"--records-url", "postgresql://x/y", "records", "report", "--by", "step", "--from",
       "postgresql://line/trail", "--since", "2024-05-01T10:00:00.5-03:30", "--json"});
  ASSERT_TRUE(report.options.has_value()) << report.err;
  EXPECT_EQ(report.options->recordsAction, RecordsAction::Report);
  EXPECT_EQ(report.options->reportBy, "step");
  EXPECT_EQ(report.options->reportFrom, "postgresql://line/trail");
  EXPECT_EQ(report.options->since, "2024-05-01T10:00:00.5-03:30");
  EXPECT_EQ(report.options->format, RecordFormat::Json);
  EXPECT_EQ(report.options->recordsUrl, "postgresql://x/y");

  for (const auto& [args, update] :
       std::vector<std::pair<std::vector<std::string>, bool>>{{{"firmware"}, false},
                                                              {{"firmware", "--check"}, false},
                                                              {{"firmware", "--update"}, true}}) {
    const ParsedCommandLine firmware = ParseCliCommandLine(args);
    ASSERT_TRUE(firmware.options.has_value()) << firmware.err;
    EXPECT_EQ(firmware.options->command, CliCommand::Firmware);
    EXPECT_EQ(firmware.options->firmwareUpdate, update);
  }
}
}  // namespace
