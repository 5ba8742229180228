// gangprog-cli firmware: the options window's BIOS Update page. --check reads every unit's
// firmware version and compares it with the database's; --update runs the update on every
// unit, as "Execute" does once its question is answered.
#include <algorithm>
#include <string>
#include <vector>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "site/firmware_files.h"
#include "site/firmware_run.h"
#include "site/rescan.h"
#include "site/run_session.h"
#include "site/site_system.h"

namespace {

std::vector<int> SitesWithUnit(SiteSystem& system) {
  return system.Session().ChooseSites(SiteChoice::PresentSites());
}

std::string SiteName(int site) {
  return "Site #" + std::to_string(site + 1);
}

// Each unit's version read with BIOS Version Get; true when every unit holds `database`.
bool CheckUnits(SiteSystem& system, const std::vector<int>& sites, const std::string& database,
                std::vector<std::string>& rows) {
  for (int site : sites) system.CmdData(site).BiosVersion.clear();
  RunSession& session = system.Session();
  session.WaitForEnd(session.Start(RunRecipe::FirmwareVersion, SiteChoice::ListedSites(sites)));
  bool allCurrent = true;
  for (int site : sites) {
    const std::string& version = system.CmdData(site).BiosVersion;
    const bool current = !version.empty() && version == database;
    allCurrent = allCurrent && current;
    rows.push_back(SiteName(site) + ": " + (version.empty() ? "unreadable" : version) +
                   (current           ? " (current)"
                    : version.empty() ? ""
                                      : " (update needed)"));
  }
  return allCurrent;
}

int CheckFirmware(SiteSystem& system, std::vector<std::string>& rows) {
  const std::vector<int> sites = SitesWithUnit(system);
  if (sites.empty()) return CliExit::NoUnit;
  if (!ExtractFirmware(system)) return CliExit::BadInput;
  const std::string database = FirmwareVersionOf(FirmwareImagePath(system.Paths()));
  RemoveFirmwareFiles(system);
  rows.push_back("Database firmware version: " + database);
  return CheckUnits(system, sites, database, rows) ? CliExit::AllPassed : CliExit::PartFailed;
}

int UpdateUnits(SiteSystem& system, std::vector<std::string>& rows) {
  if (SitesWithUnit(system).empty()) return CliExit::NoUnit;
  FirmwareSiteList list = AllFirmwareSites();
  const FirmwareRunOutcome outcome = RunFirmwareUpdate(system, list);
  if (!outcome.Extracted) return CliExit::BadInput;
  if (outcome.Started.empty()) return CliExit::NoUnit;
  bool allPassed = true;
  for (int site : outcome.Started) {
    const S_GetUSBCmdData& data = system.CmdData(site);
    const bool passed = data.FirmwareUpdateResult == SiteResultCode::Pass;
    allPassed = allPassed && passed;
    // The image's version is taken only when the unit needed the update.
    const std::string what = !passed                        ? "failed"
                             : data.FileBiosVersion.empty() ? "current " + data.BiosVersion
                                                            : "updated to " + data.FileBiosVersion;
    rows.push_back(SiteName(site) + ": " + what);
  }
  return allPassed ? CliExit::AllPassed : CliExit::PartFailed;
}

}  // namespace

int FirmwareCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  if (!program.Initialize()) return CliExit::BadInput;
  SiteSystem& system = program.System();
  RescanUnits(system);
  std::vector<std::string> rows;
  const int status =
      options.firmwareUpdate ? UpdateUnits(system, rows) : CheckFirmware(system, rows);
  system.Shutdown();
  program.Log().Flush();
  std::lock_guard<std::mutex> lock(program.OutputMutex());
  for (const std::string& row : rows) env.out << row << '\n';
  if (status == CliExit::NoUnit) env.err << "gangprog-cli: no unit found\n";
  return status;
}
