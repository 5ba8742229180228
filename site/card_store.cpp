#include "site/card_store.h"

#include <algorithm>
#include <filesystem>

#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "project/message_box_fn.h"
#include "site/ops/card_store_ops.h"
#include "site/project_load.h"
#include "site/site_system.h"
#include "site/site_wait.h"

namespace {

constexpr const char* kFormatError = "Project File Format Error!";

constexpr int kPollMs = 10;

int CountEnded(SiteSystem& system, const std::vector<int>& sites) {
  return static_cast<int>(std::count_if(sites.begin(), sites.end(), [&](int site) {
    return system.Panels().Status(site) != siWorking;
  }));
}

void WaitForEnd(SiteSystem& system, const std::vector<int>& started,
                const CardStoreProgress& progress) {
  int reported = -1;
  for (;;) {
    const int ended = CountEnded(system, started);
    if (progress && ended != reported) progress(ended, static_cast<int>(started.size()));
    reported = ended;
    if (ended == static_cast<int>(started.size())) return;
    MyDelay(system.Host(), kPollMs);
  }
}

std::vector<int> Without(std::vector<int> sites, int site) {
  sites.erase(std::remove(sites.begin(), sites.end(), site), sites.end());
  return sites;
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

CardStoreOutcome ReadCardPage(SiteSystem& system, int site) {
  return RunCardQueue(system, {site}, {Opcodes::SdProjectList, Opcodes::SdProjectInfo});
}

CardStoreOutcome ReadCardProjectInfo(SiteSystem& system, int site) {
  return RunCardQueue(system, {site}, {Opcodes::SdProjectInfo});
}

std::optional<std::vector<sSDCardProjList>> ListCardProjects(SiteSystem& system, int site) {
  if (!RunCardQueue(system, {site}, {Opcodes::SdProjectList}).AllPassed()) return std::nullopt;
  return system.CardView().Entries(site);
}

CardAddOutcome AddProjectToCards(SiteSystem& system, const std::string& projectFile,
                                 const std::vector<int>& sites, const CardStoreProgress& progress) {
  CardAddOutcome outcome;
  outcome.Sites.Skipped = sites;
  if (!system.Project().Project().CheckArchive(projectFile)) {
    system.Log().AddLogMessage(kFormatError, LogColour::Red, 1, 0);
    system.Host().MessageBox(kFormatError, kErrorCaption, kErrorIconFlag);
    return outcome;
  }
  if (LoadProjectInto(system, projectFile, true) != LoadCode::Loaded) return outcome;
  system.Log().AddLogMessage("Execute Project File Pass", LogColour::Green, 1, 0);
  CProject& project = system.Project().Project();
  if (!project.PrepareSdProjectSet()) {
    system.Log().AddLogMessage("Create Project Data Fail!", LogColour::Red, 1, 0);
    system.Host().MessageBox("Create Project Data Fail!", kErrorCaption, kErrorIconFlag);
    project.RemoveSdProjectSet();
    return outcome;
  }
  outcome.Loaded = true;
  outcome.Sites = RunCardQueue(system, sites,
                               {Opcodes::SdFilter, Opcodes::SdStoreProject, Opcodes::SdProjectList},
                               projectFile, {}, progress);
  project.RemoveSdProjectSet();
  return outcome;
}

CardStoreOutcome DeleteProjectFromCard(SiteSystem& system, int site, const std::string& name) {
  if (!ListCardProjects(system, site)) return CardStoreOutcome{{}, {site}, {}};
  const std::vector<std::string> rows = system.CardView().Rows(site);
  const auto row = std::find(rows.begin() + 1, rows.end(), name);
  if (name.empty() || row == rows.end()) return CardStoreOutcome{{}, {site}, {}};
  system.CardView().Select(site, static_cast<int>(row - rows.begin()));
  return RunCardQueue(system, {site},
                      {Opcodes::SdFilter, Opcodes::SdDeleteProject, Opcodes::SdProjectList});
}

CardStoreOutcome CopyProjectBetweenCards(SiteSystem& system, int fromSite, const std::string& name,
                                         const std::vector<int>& toSites,
                                         const CardStoreProgress& progress) {
  CardStoreOutcome fetched =
      RunCardQueue(system, {fromSite}, {Opcodes::SdProjectList, Opcodes::SdFetchProject}, {}, name);
  CardStoreOutcome outcome;
  if (fetched.AllPassed()) {
    outcome = RunCardQueue(system, Without(toSites, fromSite),
                           {Opcodes::SdFilter, Opcodes::SdStoreFetched, Opcodes::SdProjectList}, {},
                           name, progress);
  } else {
    outcome.Failed = {fromSite};
  }
  std::error_code error;
  std::filesystem::remove_all(CardFetchFolder(system), error);
  return outcome;
}

CardStoreOutcome FilterCards(SiteSystem& system, const std::vector<int>& sites) {
  return RunCardQueue(system, sites, {Opcodes::SdFilter});
}

CardStoreOutcome FormatCards(SiteSystem& system, const std::vector<int>& sites) {
  return RunCardQueue(system, sites, {Opcodes::SdQuickFormat});
}
