#include "site/card_store.h"

#include <algorithm>
#include <filesystem>

#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "project/message_box_fn.h"
#include "site/card_list.h"
#include "site/ops/card_store_ops.h"
#include "site/project_load.h"
#include "site/site_context.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "support/ini_file.h"

namespace {

constexpr const char* kFormatError = "Project File Format Error!";
constexpr const char* kExecutePass = "Execute Project File Pass";
constexpr const char* kPrepareFail = "Create Project Data Fail!";
constexpr int kFirstRow = 1;

int CountEnded(SiteSystem& system, const std::vector<int>& sites) {
  return static_cast<int>(std::count_if(sites.begin(), sites.end(), [&](int site) {
    return system.Panels().Status(site) != siWorking;
  }));
}

void WaitForEnd(SiteSystem& system, const std::vector<int>& started,
                const CardStoreProgress& progress) {
  int reported = -1;
  WaitWhile(system, [&] {
    const int ended = CountEnded(system, started);
    if (progress && ended != reported) progress(ended, static_cast<int>(started.size()));
    reported = ended;
    return ended != static_cast<int>(started.size());
  });
}

// The row of `name` in the site's list as last fetched.
std::optional<int> RowOf(SiteSystem& system, int site, const std::string& name) {
  const std::vector<std::string> rows = system.CardView().Rows(site);
  if (rows.empty()) return std::nullopt;
  const auto row = std::find(rows.begin() + 1, rows.end(), name);
  if (row == rows.end()) return std::nullopt;
  return static_cast<int>(row - rows.begin());
}

}  // namespace

CardStoreOutcome RunCardQueue(SiteSystem& system, const std::vector<int>& sites,
                              const std::vector<Opcode>& queue, const std::string& text1,
                              const std::string& text2, const CardStoreProgress& progress) {
  CardStoreOutcome outcome;
  const StartedRun run = system.Session().StartQueue(sites, queue, text1, text2);
  const std::vector<int>& started = run.sites;
  for (int site : sites) {
    if (std::find(started.begin(), started.end(), site) == started.end())
      outcome.Skipped.push_back(site);
  }
  WaitForEnd(system, started, progress);
  system.Session().WaitForEnd(run);
  for (int site : started) {
    (system.Panels().Status(site) == siPass ? outcome.Passed : outcome.Failed).push_back(site);
  }
  return outcome;
}

std::optional<std::vector<sSDCardProjList>> ListCardProjects(SiteSystem& system, int site) {
  if (!RunCardQueue(system, {site}, {Opcodes::SdProjectList}).AllPassed()) return std::nullopt;
  return system.CardView().Entries(site);
}

CardStoreOutcome ChooseCardSite(SiteSystem& system, int site) {
  std::error_code error;
  if (!system.Paths().TempDir.empty()) {
    std::filesystem::remove(system.Paths().TempDir + kCardListFile, error);
  }
  system.CardView().Forget(site);
  system.CardView().Select(site, kFirstRow);
  return RunCardQueue(system, {site}, {Opcodes::SdProjectList, Opcodes::SdProjectInfo});
}

CardStoreOutcome ChooseCardRow(SiteSystem& system, int site, int row) {
  system.CardView().Select(site, row);
  if (TrimIniBlanks(system.CardView().SelectedText(site)).empty()) return {{}, {}, {site}};
  return RunCardQueue(system, {site}, {Opcodes::SdProjectInfo});
}

void CloseCardPage(SiteSystem& system) {
  std::error_code error;
  for (int site = 0; site < kSiteCount && !system.Paths().TempDir.empty(); ++site) {
    std::filesystem::remove(CardWorkingList(system.Paths(), site), error);
  }
  system.CardView().Reset();
}

CardAddOutcome AddProjectToCards(SiteSystem& system, const std::string& projectFile,
                                 const std::vector<int>& sites, const CardStoreProgress& progress) {
  CardAddOutcome outcome;
  outcome.Sites.Skipped = sites;
  if (!system.Project().Project().CheckArchive(projectFile)) {
    system.Log().Write(kFormatError, LogColour::Red);
    system.Host().MessageBox(kFormatError, kErrorCaption, kErrorIconFlag);
    return outcome;
  }
  if (LoadProjectInto(system, projectFile, LoadUse::CardSet) != LoadCode::Loaded) return outcome;
  system.Log().Write(kExecutePass, LogColour::Green);
  CProject& project = system.Project().Project();
  if (!project.PrepareSdProjectSet()) {
    system.Log().Write(kPrepareFail, LogColour::Red);
    system.Host().MessageBox(kPrepareFail, kErrorCaption, kErrorIconFlag);
    project.RemoveSdProjectSet();
    return outcome;
  }
  outcome.Loaded = true;
  outcome.Sites = RunCardQueue(
      system, sites,
      {Opcodes::SdFilter, Opcodes::SdStoreProject, Opcodes::SdProjectList, Opcodes::SdProjectInfo},
      projectFile, {}, progress);
  project.RemoveSdProjectSet();
  return outcome;
}

std::optional<std::string> SelectedCardProject(SiteSystem& system, int site) {
  return SelectedCardName(SiteContext(system, site));
}

CardStoreOutcome DeleteSelectedCardProject(SiteSystem& system, int site,
                                           const std::function<bool()>& confirm) {
  const CardStoreOutcome skipped{{}, {}, {site}};
  if (!IsSiteIndex(site) || !system.Session().CanStart(site) || !SelectedCardProject(system, site))
    return skipped;
  if (confirm && !confirm()) return skipped;
  return RunCardQueue(system, {site},
                      {Opcodes::SdFilter, Opcodes::SdDeleteProject, Opcodes::SdProjectList,
                       Opcodes::SdProjectInfo});
}

CardStoreOutcome DeleteProjectFromCard(SiteSystem& system, int site, const std::string& name) {
  std::optional<int> row = RowOf(system, site, name);
  if (!row && ListCardProjects(system, site)) row = RowOf(system, site, name);
  if (name.empty() || !row) return CardStoreOutcome{{}, {site}, {}};
  system.CardView().Select(site, *row);
  return DeleteSelectedCardProject(system, site);
}

CardStoreOutcome CopyProjectBetweenCards(SiteSystem& system, int fromSite, const std::string& name,
                                         const std::vector<int>& toSites,
                                         const CardStoreProgress& progress) {
  const CardStoreOutcome fetched =
      RunCardQueue(system, {fromSite}, {Opcodes::SdFetchProject}, {}, name);
  CardStoreOutcome outcome;
  if (fetched.AllPassed()) {
    outcome = RunCardQueue(system, toSites,
                           {Opcodes::SdFilter, Opcodes::SdStoreFetched, Opcodes::SdProjectList,
                            Opcodes::SdProjectInfo},
                           {}, name, progress);
  } else {
    outcome.Failed = {fromSite};
  }
  std::error_code error;
  std::filesystem::remove_all(CardFetchFolder(system.Paths()), error);
  return outcome;
}

CardStoreOutcome FilterCards(SiteSystem& system, const std::vector<int>& sites) {
  return RunCardQueue(system, sites, {Opcodes::SdFilter});
}

CardStoreOutcome FormatCards(SiteSystem& system, const std::vector<int>& sites) {
  return RunCardQueue(system, sites, {Opcodes::SdQuickFormat});
}
