// gangprog-cli records: the production trail below the base folder, as text, CSV or JSON lines.
// Needs no unit and starts no worker; a database that does not exist yet holds no records.
#include <filesystem>
#include <system_error>
#include <vector>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "records/record_export.h"
#include "records/record_store.h"
#include "site/ops/run_report.h"
#include "support/system_ini.h"
#include "support/system_para.h"
#include "support/system_paths_init.h"

namespace {
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
}  // namespace

int RecordsCommand(const CliOptions& options, CliEnvironment& env) {
  const std::string path = RecordStore::PathBelow(BaseDirOf(options, env));
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
