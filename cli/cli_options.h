#pragma once
// The command line of gangprog-cli: global options, one subcommand and its options.
#include <optional>
#include <string>
#include <vector>

// Exit statuses of the program.
namespace CliExit {
inline constexpr int AllPassed = 0;
inline constexpr int PartFailed = 1;
inline constexpr int BadInput = 2;  // bad usage, a bad project, a base folder without database
inline constexpr int NoUnit = 3;
}  // namespace CliExit

inline constexpr int kCliMaxSimulatedUnits = 16;

enum class CliCommand { Scan, Run, Records, Info, SelfTest, Led, Firmware, Sd, Serve };
enum class RecordFormat { Text, Csv, Json };
// records: print them, ship them (push) or report over them (report).
enum class RecordsAction { List, Push, Report };

struct CliOptions {
  // Global.
  std::string baseDir;          // empty: the program's own folder
  std::optional<int> simulate;  // none: the real USB bus
  double simFailRate = 0;
  double simSpeed = 1;  // the simulated units' timing model runs this many times faster
  std::string usbTrace;
  std::string simCards;  // the simulated units' SD cards below this folder (empty: no cards)
  std::string recordsUrl;  // ship the per-part records to this database (empty: the settings')

  CliCommand command = CliCommand::Scan;
  bool json = false;  // scan, run, info, self-test: JSON instead of the log and tables

  // run, info, self-test, led
  std::vector<int> sites;  // site indexes 0..7; empty: every site with a unit

  // run
  std::string project;
  bool autoRun = false;
  std::optional<long long> parts;  // --auto: stop once this many parts are done in all

  // firmware: --update instead of --check
  bool firmwareUpdate = false;
  // sd: the action's name and its options (the project and the sites are shared with run)
  std::string sdAction;
  std::optional<int> sdFromSite;  // copy: the source site number (1..8)
  std::string sdName;             // copy: the stored project (empty: the newest)
  std::optional<int> sdSlot;      // delete: the card slot
  bool sdYes = false;             // format: the confirmation

  // serve (the project to load first is `project`)
  std::string listen = "127.0.0.1:8470";
  std::string tokenFile;
  std::vector<std::string> projectRoots;

  // records
  RecordsAction recordsAction = RecordsAction::List;
  std::string since;  // "YYYY-MM-DD" or empty; report: an ISO time
  RecordFormat format = RecordFormat::Text;
  std::string pushTo;      // push: the line's database
  std::string reportFrom;  // report: the line's database; empty: the local records
  std::string reportBy;    // report: site, socket, part, step or hour
};

// The parse: options to act on, or an exit status with what to print (help, version, error).
struct ParsedCommandLine {
  std::optional<CliOptions> options;
  int exitCode = CliExit::AllPassed;
  std::string out;  // help and version text
  std::string err;  // the reason a command line was refused, with the usage
};

// `args` without the program name.
ParsedCommandLine ParseCliCommandLine(const std::vector<std::string>& args);
