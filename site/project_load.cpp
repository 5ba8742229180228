#include "site/project_load.h"

#include <memory>

#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "site/loaded_project.h"
#include "site/site_system.h"

namespace {
constexpr std::uint8_t kKeptInSavedLog = 1;

void LogGroupDefine(LogSink& log, const CProject& project) {
  log.AddLogMessage("Group Define File Loaded", LogColour::Black, 1, kKeptInSavedLog);
  int index = 0;
  for (const GroupDefineEntry& entry : project.GroupDefine()) {
    log.AddLogMessage("[#" + std::to_string(index++) + "] Start = " + std::to_string(entry.Start) +
                          ", End = " + std::to_string(entry.End) +
                          ", Size = " + std::to_string(entry.Size) +
                          ", Parameter = " + std::to_string(entry.Parameter),
                      LogColour::Black, 1, kKeptInSavedLog);
  }
}
}  // namespace

int LoadProjectFile(SiteSystem& system, const std::string& path) {
  std::unique_ptr<LoadedProject> loaded = system.NewProject();
  CProject& project = loaded->Project();
  const int code = project.LoadProject(path, true);
  if (code != LoadCode::Loaded) return code;
  if (!project.BuildMenuRecord()) return LoadCode::NoMenuFile;
  if (project.UsingGroupDefine) {
    project.ReadGroupDefine(system.Paths().TempDir + kGroupDefineFileName);
    LogGroupDefine(system.Log(), project);
  }
  loaded->SetPath(path);
  if (!system.ReplaceProject(std::move(loaded))) return kProjectBusyCode;
  system.Log().AddLogMessage("Load Project Complete", LogColour::Green, 1, kKeptInSavedLog);
  return LoadCode::Loaded;
}
