#include "site/site_system.h"

#include <filesystem>
#include <system_error>

#include "site/system_startup.h"

namespace {
// An installed program keeps its resource pack in its own folder; a pack below the base folder
// (a demo's or a test's) comes first.
std::string PackDir(const SystemPaths& paths) {
  std::error_code error;
  if (paths.InstallDir.empty() || std::filesystem::exists(paths.BaseDir + kPlusModulePath, error)) {
    return paths.BaseDir;
  }
  return paths.InstallDir;
}
}  // namespace

SiteSystem::SiteSystem(UsbLibrary& usb, SiteSystemConfig config)
    : config_(std::move(config)),
      usb_(usb),
      logPipeline_(config_.LogDisplayMode),
      panels_(locks_.Get(LockName::Statistics), noHost_),
      links_(usb, locks_, para_, config_.Links),
      opcodes_(config_.Operations) {
  panels_.AttachFeed(session_);
  SetPaths(paths_);
}

void SiteSystem::SetPaths(const SystemPaths& paths) {
  paths_ = paths;
  journal_.SetFolder(paths_.BaseDir + "History/Journal");
  CloseRecords();  // the old folder's records are committed and shipped
  if (!paths_.BaseDir.empty()) {
    records_ = std::make_unique<RecordWriter>(
        RecordWriterOptions{RecordStore::PathBelow(paths_.BaseDir)}, Log());
  }
  StartShipping();
  project_.reset();  // refers to the pack
  pack_ = std::make_unique<ResourcePack>(
      PackDir(paths_), [this](const std::string& text, const std::string& caption) {
        // Without its resources the program cannot prepare or run a unit: it ends.
        Host().MessageBox(text, caption, kErrorIconFlag);
        Host().RequestExit();
      });
  project_ = NewProject();
}

SiteSystem::~SiteSystem() {
  Shutdown();
}

void SiteSystem::ApplyRecordsUrl() {
  const std::string url = config_.RecordsUrl.empty() ? para_.RecordsUrl : config_.RecordsUrl;
  if (url == shipUrl_) return;
  shipper_.reset();
  shipUrl_ = url;
  StartShipping();
}

void SiteSystem::StartShipping() {
  if (shipUrl_.empty() || !records_) return;
  RecordShipperOptions options;
  options.Url = shipUrl_;
  options.LocalPath = RecordStore::PathBelow(paths_.BaseDir);
  options.BaseDir = paths_.BaseDir;
  options.ProgramVersion = GetVersionText();
  shipper_ = std::make_unique<RecordShipper>(std::move(options), Log());
}

void SiteSystem::CloseRecords() {
  records_.reset();
  shipper_.reset();
}

void SiteSystem::AttachHost(SiteHost& host) {
  host_ = &host;
  panels_.AttachHost(host);
}

void SiteSystem::ResetRunBytes() {
  for (SiteRunBytes& bytes : runBytes_) bytes.Reset();
}

bool SiteSystem::ClearUnitReports() {
  if (engine_.AnyRunning()) return false;
  for (S_GetUSBCmdData& data : cmdData_) data = S_GetUSBCmdData{};
  return true;
}

std::unique_ptr<LoadedProject> SiteSystem::NewProject() {
  const LoadedProject::Services services{
      paths_,
      archiver_,
      selectList_,
      *pack_,
      locks_.Get(LockName::GroupDefine),
      Log(),
      [this](const std::string& text, const std::string& caption, unsigned flags) {
        return Host().MessageBox(text, caption, flags);
      }};
  return std::make_unique<LoadedProject>(services);
}

bool SiteSystem::ReplaceProject(std::unique_ptr<LoadedProject> project) {
  if (!project || engine_.AnyRunning()) return false;
  project->NoteImage(DataImagePath(paths_));
  project_ = std::move(project);
  return true;
}
