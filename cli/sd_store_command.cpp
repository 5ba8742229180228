// gangprog-cli sd list / add / copy / delete / format: the project window's "From SDCard" page
// and the options window's "Quick Format", through the same store calls.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

#include "cli/cli_program.h"
#include "cli/sd_command.h"
#include "site/card_store.h"
#include "site/run_session.h"
#include "site/site_system.h"

namespace {

constexpr int kFirstSiteNumber = 1;

// The chosen sites, or every site with a unit; none when a chosen site has no unit.
std::vector<int> ChosenSites(SiteSystem& system, const CliOptions& options) {
  if (options.sites.empty()) return system.Session().ChooseSites(SiteChoice::PresentSites());
  std::vector<int> chosen = options.sites;
  std::sort(chosen.begin(), chosen.end());
  chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
  return system.Session().ChooseSites(SiteChoice::ListedSites(chosen));
}

int StatusOf(const CardStoreOutcome& outcome) {
  return outcome.AllPassed() ? CliExit::AllPassed : CliExit::PartFailed;
}

void Print(HeadlessProgram& program, CliEnvironment& env, const std::string& text) {
  program.Log().Flush();
  std::lock_guard<std::mutex> lock(program.OutputMutex());
  env.out << text;
}

std::string ListText(int site, const std::vector<sSDCardProjList>& entries) {
  std::string text = "Site " + std::to_string(site + kFirstSiteNumber) + ": " +
                     std::to_string(entries.size()) + " project(s)\n";
  for (const sSDCardProjList& entry : entries) {
    char line[64];
    std::snprintf(line, sizeof line, "  %-4d %-15s ", entry.Slot, entry.Date.c_str());
    text += line + entry.Name + "\n";
  }
  return text;
}

int List(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  SiteSystem& system = program.System();
  const std::vector<int> sites = ChosenSites(system, options);
  if (sites.empty()) return CliExit::NoUnit;
  int status = CliExit::AllPassed;
  for (int site : sites) {
    const auto entries = ListCardProjects(system, site);
    if (!entries) status = CliExit::PartFailed;
    Print(program, env,
          entries ? ListText(site, *entries)
                  : "Site " + std::to_string(site + kFirstSiteNumber) + ": no list\n");
  }
  return status;
}

int Add(HeadlessProgram& program, const CliOptions& options, CliEnvironment&) {
  SiteSystem& system = program.System();
  const std::vector<int> sites = ChosenSites(system, options);
  if (sites.empty()) return CliExit::NoUnit;
  const CardAddOutcome outcome = AddProjectToCards(system, options.project, sites);
  if (!outcome.Loaded) return CliExit::BadInput;
  return StatusOf(outcome.Sites);
}

int Copy(HeadlessProgram& program, const CliOptions& options, CliEnvironment&) {
  SiteSystem& system = program.System();
  const int from = *options.sdFromSite - kFirstSiteNumber;
  if (system.Session().ChooseSites(SiteChoice::ListedSites({from})).empty()) {
    return CliExit::NoUnit;
  }
  std::vector<int> sites = ChosenSites(system, options);
  sites.erase(std::remove(sites.begin(), sites.end(), from), sites.end());
  if (sites.empty()) return CliExit::NoUnit;
  std::string name = options.sdName;
  if (name.empty()) {
    const auto entries = ListCardProjects(system, from);
    if (!entries || entries->empty()) return CliExit::PartFailed;
    name = entries->front().Name;  // the newest, which the unit runs
  }
  return StatusOf(CopyProjectBetweenCards(system, from, name, sites));
}

int Delete(HeadlessProgram& program, const CliOptions& options, CliEnvironment&) {
  SiteSystem& system = program.System();
  const std::vector<int> sites = ChosenSites(system, options);
  if (sites.empty()) return CliExit::NoUnit;
  int status = CliExit::AllPassed;
  for (int site : sites) {
    const std::vector<sSDCardProjList> entries =
        ListCardProjects(system, site).value_or(std::vector<sSDCardProjList>{});
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const sSDCardProjList& e) {
      return e.Slot == *options.sdSlot;
    });
    if (found == entries.end()) {
      system.Log().AddLogMessage("Site #" + std::to_string(site + 1) + " - No Project In Slot " +
                                     std::to_string(*options.sdSlot) + "!",
                                 LogColour::Red, 1, 0);
      status = CliExit::PartFailed;
      continue;
    }
    if (!DeleteProjectFromCard(system, site, found->Name).AllPassed()) {
      status = CliExit::PartFailed;
    }
  }
  return status;
}

int Format(HeadlessProgram& program, const CliOptions& options, CliEnvironment&) {
  SiteSystem& system = program.System();
  const std::vector<int> sites = ChosenSites(system, options);
  if (sites.empty()) return CliExit::NoUnit;
  return StatusOf(FormatCards(system, sites));
}

void AddOptionsAdd(CLI::App& action, CliOptions& o) {
  action.add_option("--project", o.project, "the project file (.zvprj)")->required();
}
void AddOptionsCopy(CLI::App& action, CliOptions& o) {
  action.add_option("--from", o.sdFromSite, "the site whose card holds the project")
      ->required()
      ->check(CLI::Range(kFirstSiteNumber, kSiteCount));
  action.add_option("--name", o.sdName, "the stored project (default: the newest)");
}
void AddOptionsDelete(CLI::App& action, CliOptions& o) {
  action.add_option("SLOT", o.sdSlot, "the card slot of the project (0 to 30)")
      ->required()
      ->check(CLI::Range(0, kCardSlotCount - 1));
}
void AddOptionsFormat(CLI::App& action, CliOptions& o) {
  action.add_flag("--yes", o.sdYes, "erase every file on the cards");
}

std::string CheckCopy(const CliOptions& o) {
  if (o.sites.size() == 1 && o.sites.front() == *o.sdFromSite - kFirstSiteNumber) {
    return "sd copy: the only target is the source site";
  }
  return {};
}
std::string CheckFormat(const CliOptions& o) {
  return o.sdYes ? std::string()
                 : "sd format erases every file on the chosen sites' SD cards; "
                   "add --yes to go ahead";
}

}  // namespace

std::vector<SdAction> SdStoreActions() {
  return {
      {"list", "print each site's stored projects, newest first", nullptr, nullptr, List},
      {"add", "store a project file on the sites' cards", AddOptionsAdd, nullptr, Add},
      {"copy", "copy a stored project from one site's card to the others", AddOptionsCopy,
       CheckCopy, Copy},
      {"delete", "delete the project in a card slot", AddOptionsDelete, nullptr, Delete},
      {"format", "quick-format the cards (needs --yes)", AddOptionsFormat, CheckFormat, Format},
  };
}
