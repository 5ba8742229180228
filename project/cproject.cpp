#include "project/cproject.h"

#include <filesystem>

#include "project/menu_file.h"
#include "project/project_info.h"
#include "project/project_records.h"
#include "support/archiver.h"
#include "support/file_helpers.h"
#include "support/named_lock.h"
#include "support/system_paths.h"

namespace {
// A folder of its own for the information text, so that the "Info.meg" a load leaves for the
// SD card set stays untouched while the project window shows other projects.
constexpr const char* kInfoTextFolder = "InfoText";
}  // namespace

std::string LoadProjectMessage(int code) {
  switch (code) {
    case LoadCode::Loaded:
      return {};
    case LoadCode::ExtractFailed:
      return "Decryption Fail!";
    case LoadCode::NoManufacturer:
      return "Manufacturers Folder doesn't exist!";
    case LoadCode::NoPartFile:
      return "Part Number File doesn't exist!";
    case LoadCode::MenuDateDiffers:
      return "Menu's Date Not Supported!";
    case LoadCode::NoMenuFile:
      return "Menu File Fail!";
    case LoadCode::NoDiskSpace:
      return "Not Enough Disk Space!";
    case LoadCode::NoProjectFile:
      return "Project's File Does Not Exist!";
    default:
      return "Execute Project File Fail!";
  }
}

CProject::CProject(ProjectEnvironment env)
    : env_(std::move(env)), menu_(std::make_unique<MenuRecord>()) {
  menu_->fill(0xFF);
}

CProject::~CProject() {
  if (staged_) DropStagedFiles();
}

bool CProject::CheckArchive(const std::string& path) const {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  return env_.Archive
      .Check(path, ArchivePassword::Project, {kImageMember, kInfoMember, kRecoveryMember})
      .Valid();
}

void CProject::ReadGroupDefine(const std::string& path) {
  std::vector<GroupDefineEntry> entries = ReadGroupDefineFile(path, env_.GroupDefineLock);
  const std::lock_guard<std::mutex> guard(groupMutex_);
  groupDefine_ = std::move(entries);
}

std::vector<GroupDefineEntry> CProject::GroupDefine() const {
  const std::lock_guard<std::mutex> guard(groupMutex_);
  return groupDefine_;
}

std::string CProject::ProjectInfoText(const std::string& path) const {
  const std::string workDir = env_.Paths.TempDir + kInfoTextFolder;
  std::string text = ProjectInfoTextOfArchive(env_.Archive, path, workDir);
  std::error_code error;
  std::filesystem::remove(workDir, error);  // only when empty: never someone else's files
  return text;
}

bool CProject::BuildMenuRecord() {
  const std::string& menuFile = env_.Records.DriverIni[0].MenuFile;
  if (IsNoMenu(menuFile)) {
    menu_->fill(0xFF);
    return true;
  }
  return ::BuildMenuRecord(env_.Paths.BaseDir, menuFile, MenuValuesPath(), env_.Box, *menu_);
}

std::uint64_t CProject::FreeBytes(const std::string& path) const {
  return env_.FreeSpace ? env_.FreeSpace(path) : GetDiskFreeBytes(path);
}
