#include "site/project_load.h"

#include <memory>

#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "project/group_define.h"
#include "project/message_box_fn.h"
#include "site/site_system.h"

namespace {
// The staged files are placed only while no worker runs; the loads run on the thread that
// starts the workers, so none can start between this check and the replacement.
int PlaceIfIdle(SiteSystem& system, CProject& project, bool keepInfo) {
  if (system.Engine().AnyRunning()) return LoadCode::SitesRunning;
  if (!project.PlaceStagedFiles(!keepInfo)) return LoadCode::ExtractFailed;
  return LoadCode::Loaded;
}

int StageAndPlace(SiteSystem& system, CProject& project, const std::string& path, bool keepInfo) {
  if (system.Engine().AnyRunning()) return LoadCode::SitesRunning;
  int code = project.StageLoad(path);
  if (code == LoadCode::Loaded && !project.BuildMenuRecord()) code = LoadCode::NoMenuFile;
  if (code == LoadCode::Loaded) code = PlaceIfIdle(system, project, keepInfo);
  project.DropStagedFiles();
  return code;
}

void ReadGroupDefine(SiteSystem& system, CProject& project, bool logIt) {
  project.ReadGroupDefine(system.Paths().TempDir + kGroupDefineFileName);
  if (!logIt) return;
  LogSink& log = system.Log();
  log.Write(kGroupDefineLoaded, LogColour::Black, LogLevel::Essential);
  const std::vector<GroupDefineEntry> table = project.GroupDefine();
  for (std::size_t index = 0; index < table.size(); ++index) {
    log.Write(GroupDefineLine(index, table[index]), LogColour::Black);
  }
}
}  // namespace

int LoadProjectInto(SiteSystem& system, const std::string& path, LoadUse use) {
  const bool forRun = use != LoadUse::CardSet;
  std::unique_ptr<LoadedProject> loaded = system.NewProject();
  CProject& project = loaded->Project();
  int code = StageAndPlace(system, project, path, !forRun);
  if (code == LoadCode::Loaded) {
    if (project.UsingGroupDefine) ReadGroupDefine(system, project, forRun);
    loaded->SetPath(path);
    if (!system.ReplaceProject(std::move(loaded))) code = LoadCode::SitesRunning;
  }
  if (code != LoadCode::Loaded) {
    const std::string message = LoadProjectMessage(code);
    if (use != LoadUse::Run) system.Log().Write(message, LogColour::Red);
    if (use != LoadUse::Remote) system.Host().MessageBox(message, kErrorCaption, kErrorIconFlag);
    return code;
  }
  if (forRun) system.Log().Write(kLoadProjectComplete, LogColour::Green, LogLevel::Essential);
  return code;
}
