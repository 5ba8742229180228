#include "cli/cli_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <sstream>

#include "cli/sd_command.h"
#include "records/part_record.h"
#include "records/record_report.h"
#include "site/site_status.h"
#include "site/system_startup.h"

namespace {
constexpr int kFirstSiteNumber = 1;

// CLI11's range check lets NaN through; a share must be a real number from 0 to 1.
const CLI::Validator kShare(
    [](std::string& text) -> std::string {
      double value = 0;
      if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || value < 0.0 ||
          value > 1.0) {
        return "needs a share from 0 to 1, not " + text;
      }
      return {};
    },
    "SHARE");

// A speed-up must be a real number above zero; CLI11's checks would let NaN and infinity by.
const CLI::Validator kSpeed(
    [](std::string& text) -> std::string {
      double value = 0;
      if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value) || !(value > 0.0)) {
        return "needs a speed-up above 0, not " + text;
      }
      return {};
    },
    "S");

const CLI::Validator kIsoDate(
    [](std::string& text) -> std::string {
      return IsIsoDate(text) ? std::string() : "needs a date YYYY-MM-DD, not " + text;
    },
    "YYYY-MM-DD");

const CLI::Validator kIsoTime(
    [](std::string& text) -> std::string {
      return ReportSinceUtc(text) ? std::string()
                                  : "needs a time YYYY-MM-DD[Thh:mm[:ss][Z|+hh:mm]], not " + text;
    },
    "ISO-TIME");

struct RecordsCommands {
  CLI::App* records = nullptr;
  CLI::App* push = nullptr;
  CLI::App* report = nullptr;
};

struct Subcommands {
  CLI::App* scan = nullptr;
  CLI::App* run = nullptr;
  RecordsCommands records;
  CLI::App* info = nullptr;
  CLI::App* selfTest = nullptr;
  CLI::App* led = nullptr;
  CLI::App* firmware = nullptr;
  CLI::App* sd = nullptr;
  CLI::App* serve = nullptr;
};

void AddSites(CLI::App* command, std::vector<int>& siteNumbers, const std::string& what) {
  command->add_option("--sites", siteNumbers, what + ", e.g. 1,3,5 (default: every unit)")
      ->delimiter(',')
      ->check(CLI::Range(kFirstSiteNumber, kSiteCount));
}

// The unit service commands of the options window: information, self test, LED flash.
void AddServiceCommands(CLI::App& app, CliOptions& o, std::vector<int>& siteNumbers,
                        Subcommands& sub) {
  sub.info = app.add_subcommand(
      "info", "read firmware number, version and serial text of the units; print them");
  sub.selfTest = app.add_subcommand("self-test", "run the units' self test; print its message");
  sub.led = app.add_subcommand("led", "flash the units' power LED");
  for (CLI::App* command : {sub.info, sub.selfTest, sub.led}) {
    AddSites(command, siteNumbers, "sites");
  }
  sub.info->add_flag("--json", o.json, "one JSON object per unit");
  sub.selfTest->add_flag("--json", o.json, "one JSON object per unit");
}

void AddGlobalOptions(CLI::App& app, CliOptions& o, std::optional<int>& simulate) {
  app.add_option("--base-dir", o.baseDir,
                 "the program's files (System, DataBase, History) below DIR")
      ->type_name("DIR");
  app.add_option("--simulate", simulate, "a simulated bus with N units instead of the USB bus")
      ->type_name("N")
      ->check(CLI::Range(0, kCliMaxSimulatedUnits));
  app.add_option("--sim-fail-rate", o.simFailRate, "share of simulated parts that fail (0..1)")
      ->type_name("R")
      ->check(kShare);
  app.add_option("--sim-speed", o.simSpeed,
                 "the simulated units work S times faster than real units (default 1)")
      ->type_name("S")
      ->check(kSpeed);
  app.add_option("--usb-trace", o.usbTrace, "write a line per USB transfer to FILE")
      ->type_name("FILE");
  app.add_option("--sim-cards", o.simCards,
                 "the simulated units keep their SD cards in DIR/Site1, DIR/Site2, ...")
      ->type_name("DIR");
  app.add_option("--records-url", o.recordsUrl,
                 "ship the per-part records to this PostgreSQL database (postgresql://...; the "
                 "password from ~/.pgpass or PGPASSFILE)")
      ->type_name("URL");
  app.set_version_flag("--version", "gangprog-cli " + GetVersionText());
}

CLI::App* AddRun(CLI::App& app, CliOptions& o, std::vector<int>& siteNumbers) {
  CLI::App* run = app.add_subcommand("run", "load a project and program parts on the sites");
  run->add_option("--project", o.project, "the project file (.zvprj)")->required();
  AddSites(run, siteNumbers, "sites to run");
  CLI::Option* autoRun = run->add_flag("--auto", o.autoRun, "the automatic loop");
  run->add_option("--parts", o.parts, "with --auto: stop once N parts are done in all")
      ->type_name("N")
      ->check(CLI::PositiveNumber)
      ->needs(autoRun);
  run->add_flag("--json", o.json, "one JSON object per line for each event");
  return run;
}

CLI::App* AddFirmware(CLI::App& app, CliOptions& o, bool& checkFlag) {
  CLI::App* firmware = app.add_subcommand(
      "firmware", "compare the units' firmware with the database's, or update it");
  CLI::Option* check = firmware->add_flag(
      "--check", checkFlag, "print the database's and each unit's version (the default)");
  firmware->add_flag("--update", o.firmwareUpdate, "bring every unit to the database's version")
      ->excludes(check);
  return firmware;
}

CLI::App* AddServe(CLI::App& app, CliOptions& o) {
  CLI::App* serve = app.add_subcommand(
      "serve", "serve the station to the line: HTTP API, event stream, metrics, dashboard");
  serve->add_option("--listen", o.listen, "HOST:PORT to listen on (default 127.0.0.1:8470)")
      ->type_name("HOST:PORT");
  serve
      ->add_option("--token-file", o.tokenFile,
                   "a file only you may read, holding the token every request must carry")
      ->type_name("FILE");
  serve->add_option("--project", o.project, "load this project file first")->type_name("FILE");
  serve
      ->add_option("--project-root", o.projectRoots,
                   "a further folder whose project files clients may load (repeatable)")
      ->type_name("DIR");
  return serve;
}

RecordsCommands AddRecords(CLI::App& app, CliOptions& o, bool& csv, bool& json) {
  RecordsCommands sub;
  sub.records = app.add_subcommand("records", "print the per-part records");
  sub.records->add_option("--since", o.since, "only records from this day on")->check(kIsoDate);
  CLI::Option* csvFlag = sub.records->add_flag("--csv", csv, "as CSV");
  sub.records->add_flag("--json", json, "one JSON object per line")->excludes(csvFlag);
  sub.push = sub.records->add_subcommand(
      "push", "ship the records the line's database does not hold yet, then exit");
  sub.push->add_option("--to", o.pushTo, "the line's database (postgresql://...)")
      ->type_name("URL")
      ->required();
  sub.report = sub.records->add_subcommand(
      "report", "yield per site, socket or part number, failing steps, parts per hour");
  sub.report->add_option("--from", o.reportFrom, "the line's database (default: this station's)")
      ->type_name("URL");
  sub.report->add_option("--since", o.since, "only records from this time on")->check(kIsoTime);
  sub.report->add_option("--by", o.reportBy, "site, socket, part, step or hour")
      ->type_name("WHAT")
      ->required()
      ->check(CLI::IsMember({"site", "socket", "part", "step", "hour"}));
  CLI::Option* reportCsv = sub.report->add_flag("--csv", csv, "as CSV");
  sub.report->add_flag("--json", json, "one JSON object per line")->excludes(reportCsv);
  return sub;
}

// Site numbers 1..8 as indexes; an empty item ("1,,3", which CLI11 would skip) or a site named
// twice is a mistake in the script.
std::string TakeSites(const CLI::Option& option, const std::vector<int>& numbers, CliOptions& o) {
  for (const std::string& item : option.results()) {
    if (item.empty()) return "--sites: the list has an empty item";
  }
  for (int number : numbers) {
    const int index = number - kFirstSiteNumber;
    if (std::find(o.sites.begin(), o.sites.end(), index) != o.sites.end()) {
      return "--sites: site " + std::to_string(number) + " is listed twice";
    }
    o.sites.push_back(index);
  }
  return {};
}

ParsedCommandLine Refused(CLI::App& app, const std::string& reason) {
  ParsedCommandLine parsed;
  parsed.exitCode = CliExit::BadInput;
  parsed.err = "gangprog-cli: " + reason + "\n" + app.help();
  return parsed;
}
}  // namespace

ParsedCommandLine ParseCliCommandLine(const std::vector<std::string>& args) {
  CLI::App app("The gang programmer's command-line front end.", "gangprog-cli");
  app.require_subcommand(1);
  app.fallthrough();  // the global options may follow the subcommand too
  CliOptions o;
  std::optional<int> simulate;
  std::vector<int> siteNumbers;
  bool csv = false;
  bool recordsJson = false;
  AddGlobalOptions(app, o, simulate);
  Subcommands sub;
  sub.scan = app.add_subcommand("scan", "greet, identify and order the units; print the sites");
  sub.scan->add_flag("--json", o.json, "one JSON object");
  sub.run = AddRun(app, o, siteNumbers);
  sub.records = AddRecords(app, o, csv, recordsJson);
  AddServiceCommands(app, o, siteNumbers, sub);
  bool firmwareCheck = false;
  sub.firmware = AddFirmware(app, o, firmwareCheck);
  std::vector<int> sdSiteNumbers;
  sub.sd = AddSdCommand(app, o, sdSiteNumbers);
  sub.serve = AddServe(app, o);

  std::vector<std::string> reversed(args.rbegin(), args.rend());  // CLI11 takes them reversed
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return {std::nullopt, CliExit::AllPassed, app.help(), {}};
  } catch (const CLI::CallForAllHelp&) {
    return {std::nullopt, CliExit::AllPassed, app.help("", CLI::AppFormatMode::All), {}};
  } catch (const CLI::CallForVersion&) {
    return {std::nullopt, CliExit::AllPassed, "gangprog-cli " + GetVersionText() + "\n", {}};
  } catch (const CLI::ParseError& error) {
    return Refused(app, error.what());
  }
  o.simulate = simulate;
  const std::vector<std::pair<CLI::App*, CliCommand>> withSites = {
      {sub.run, CliCommand::Run},
      {sub.info, CliCommand::Info},
      {sub.selfTest, CliCommand::SelfTest},
      {sub.led, CliCommand::Led}};
  for (const auto& [command, name] : withSites) {
    if (!command->parsed()) continue;
    o.command = name;
    const std::string reason = TakeSites(*command->get_option("--sites"), siteNumbers, o);
    if (!reason.empty()) return Refused(app, reason);
  }
  if (sub.firmware->parsed()) o.command = CliCommand::Firmware;
  if (sub.sd->parsed()) {
    o.command = CliCommand::Sd;
    const std::string sdReason = TakeSdOptions(*sub.sd, sdSiteNumbers, o);
    if (!sdReason.empty()) return Refused(app, sdReason);
  }
  if (sub.serve->parsed()) o.command = CliCommand::Serve;
  if (sub.records.records->parsed()) {
    o.command = CliCommand::Records;
    o.format = csv ? RecordFormat::Csv : recordsJson ? RecordFormat::Json : RecordFormat::Text;
    if (sub.records.push->parsed()) o.recordsAction = RecordsAction::Push;
    if (sub.records.report->parsed()) o.recordsAction = RecordsAction::Report;
  }
  return {o, CliExit::AllPassed, {}, {}};
}
