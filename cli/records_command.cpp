// gangprog-cli records: the production trail below the base folder, as text, CSV or JSON lines;
// its shipping to the line's database (push) and the yield reports (report). Needs no unit and
// starts no worker; a database that does not exist yet holds no records.
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "records/record_export.h"
#include "records/record_pusher.h"
#include "records/record_report.h"
#include "records/record_store.h"
#include "site/ops/run_report.h"
#include "site/system_startup.h"
#include "support/system_ini.h"
#include "support/system_para.h"
#include "support/system_paths_init.h"

namespace {
// Set by the tests of a kill between the line's commit and the local watermark.
constexpr const char* kKillAfterCommit = "ZV_PUSH_KILL_AFTER_COMMIT";

// The base folder as the start-up finds it: the command line's or the program's, then the
// settings' "ExeDirPath".
std::string BaseDirOf(const CliOptions& options, const CliEnvironment& env) {
  SystemPaths paths;
  InitSystemPaths(paths, {options.baseDir, env.tempRoot, {}});
  S_SystemPara para;
  LoadSystemIniFile(paths.BaseDir, false, para);
  return paths.BaseDir;
}

void WriteText(std::ostream& out, const std::vector<PartRecord>& records) {
  for (const PartRecord& r : records) {
    out << r.Time << "  Site #" << r.Site << "  " << r.Manufacturer << ' ' << r.PartNumber << "  "
        << HexText(r.RunResult, 2) << "  " << (r.Pass ? "PASS" : "FAIL") << "  "
        << RunSecondsText(r.ElapsedMs) << " s" << '\n';
  }
  out << records.size() << " record" << (records.size() == 1 ? "" : "s") << '\n';
}

int PushCommand(const std::string& baseDir, const CliOptions& options, CliEnvironment& env) {
  StationInfo station;
  std::string error;
  if (!LoadStation(baseDir, GetVersionText(), station, error)) {
    env.err << "gangprog-cli: " << error << '\n';
    return CliExit::PartFailed;
  }
  RecordPusher pusher(options.pushTo, RecordStore::PathBelow(baseDir), station);
  if (std::getenv(kKillAfterCommit)) pusher.OnCommitted([] { std::raise(SIGKILL); });
  const ShipOutcome outcome = pusher.ShipAll();
  const std::string target = PgUrlForLog(options.pushTo);
  env.out << outcome.Shipped << " records shipped to " << target << '\n';
  if (outcome.Done) return CliExit::AllPassed;
  env.err << "gangprog-cli: shipping to " << target << " stopped (" << outcome.Reason << "); "
          << outcome.Backlog << " records wait\n";
  return CliExit::PartFailed;
}

int ReportCommand(const std::string& baseDir, const CliOptions& options, CliEnvironment& env) {
  const ReportBy by = ReportByOf(options.reportBy).value_or(ReportBy::Site);
  const std::string since = options.since.empty() ? "" : ReportSinceUtc(options.since).value();
  std::vector<ReportRow> rows;
  if (!options.reportFrom.empty()) {
    PgConnection pg;
    std::string error;
    if (!pg.Open(options.reportFrom) || !CentralReport(pg, by, since, rows, error)) {
      env.err << "gangprog-cli: " << PgUrlForLog(options.reportFrom)
              << " cannot be read: " << (error.empty() ? pg.Error() : error) << '\n';
      return CliExit::PartFailed;
    }
  } else if (std::error_code missing;
             std::filesystem::exists(RecordStore::PathBelow(baseDir), missing)) {
    RecordStore store(RecordStore::PathBelow(baseDir));
    const StoreResult result = LocalReport(store, by, since, rows);
    if (!result.Ok()) {
      env.err << "gangprog-cli: the records in " << store.Path() << " cannot be read ("
              << StoreStatusText(result.Status) << "): " << result.Message << '\n';
      return CliExit::BadInput;
    }
  }
  switch (options.format) {
    case RecordFormat::Csv:
      WriteReportCsv(env.out, by, rows);
      break;
    case RecordFormat::Json:
      WriteReportJson(env.out, by, rows);
      break;
    case RecordFormat::Text:
      WriteReportTable(env.out, by, rows);
      break;
  }
  env.out.flush();
  return CliExit::AllPassed;
}
}  // namespace

int RecordsCommand(const CliOptions& options, CliEnvironment& env) {
  const std::string baseDir = BaseDirOf(options, env);
  if (options.recordsAction == RecordsAction::Push) return PushCommand(baseDir, options, env);
  if (options.recordsAction == RecordsAction::Report) return ReportCommand(baseDir, options, env);
  const std::string path = RecordStore::PathBelow(baseDir);
  std::vector<PartRecord> records;
  std::error_code error;
  if (std::filesystem::exists(path, error)) {
    RecordStore store(path);
    const StoreResult result = store.QuerySince(options.since, records);
    if (!result.Ok()) {
      env.err << "gangprog-cli: the records in " << path << " cannot be read ("
              << StoreStatusText(result.Status) << "): " << result.Message << '\n';
      return CliExit::BadInput;
    }
  }
  switch (options.format) {
    case RecordFormat::Csv:
      WriteCsv(env.out, records);
      break;
    case RecordFormat::Json:
      WriteJsonLines(env.out, records);
      break;
    case RecordFormat::Text:
      WriteText(env.out, records);
      break;
  }
  env.out.flush();
  return CliExit::AllPassed;
}
