// CProject::LoadProject and its steps, in the order a load runs them.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>

#include "project/cproject.h"
#include "project/database_path.h"
#include "project/driver_index.h"
#include "project/driver_ini.h"
#include "project/menu_file.h"
#include "project/project_info.h"
#include "project/project_records.h"
#include "support/archiver.h"
#include "support/ini_file.h"
#include "support/named_lock.h"
#include "support/system_paths.h"

namespace fs = std::filesystem;

namespace {
constexpr const char* kRecoverySection = "RecoveryInfo";
constexpr const char* kTempSizeKey = "TempSize";
constexpr const char* kMenuFileKey = "MenuFile";
constexpr const char* kMenuDateKey = "Date";

ArchiveResult ExtractMembers(const Archiver& archiver, const std::string& archive,
                             const std::string& outDir, std::vector<std::string> members) {
  ExtractRequest request;
  request.Archive = archive;
  request.OutDir = outDir;
  request.Members = std::move(members);
  request.Password = ArchivePassword::Project;
  return archiver.Extract(request);
}

void RemoveFile(const std::string& path) {
  std::error_code error;
  fs::remove(path, error);
}

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return fs::is_regular_file(path, error);
}

// "TempSize" as a byte count: nullopt for a text that is no size at all; a decimal number
// too large for 64 bits is a size no disk has room for.
std::optional<std::uint64_t> TempSizeOf(const std::string& text) {
  const std::string_view trimmed = TrimIniBlanks(text);
  if (!trimmed.empty() && trimmed.find_first_not_of("0123456789") == std::string_view::npos &&
      trimmed.size() > 19) {
    return UINT64_MAX;
  }
  const std::optional<std::int64_t> value = ParseIniInteger(trimmed);
  if (!value || *value < 0) return std::nullopt;
  return static_cast<std::uint64_t>(*value);
}

// The small members, taken out in one run into a folder of the load's own. They lie in front
// of the data image in the archive, so this run decodes almost nothing, and every later step
// finds its member there instead of starting the archiver again.
constexpr const char* kStageFolder = "ProjectLoad";
constexpr const char* kRecoveryFolder = "History/Recovery/";
constexpr const char* kImageFolder = "Temp/";

bool Missing(const ArchiveResult& result, const char* member) {
  return std::find(result.Missing.begin(), result.Missing.end(), member) != result.Missing.end();
}

// Moves a staged member to its place (a copy where the two folders are on different disks).
bool Place(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::rename(from, to, error);
  if (!error) return true;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  return !error;
}
}  // namespace

// The members of the archive in the folder of the load: the small ones in the temp directory,
// the data image beside its place, so that putting it there is a rename on one disk.
std::string CProject::StageFolder() const {
  return env_.Paths.TempDir + kStageFolder + "/";
}

std::string CProject::ImageStageFolder() const {
  return env_.Paths.BaseDir + kImageFolder + kStageFolder + "/";
}

std::string CProject::MenuValuesPath() const {
  return staged_ ? StageFolder() + kMenuValuesMember
                 : env_.Paths.BaseDir + kRecoveryFolder + kMenuValuesMember;
}

int CProject::LoadProject(const std::string& path, bool deleteInfo) {
  int code = StageLoad(path);
  if (code == LoadCode::Loaded && !PlaceStagedFiles(deleteInfo)) code = LoadCode::ExtractFailed;
  DropStagedFiles();
  return code;
}

int CProject::StageLoad(const std::string& path) {
  DropStagedFiles();
  if (!IsRegularFile(path)) return LoadCode::NoProjectFile;
  staged_ = true;
  int code = ExtractInfo(path);
  if (code == LoadCode::Loaded) code = CheckDriverFiles();
  if (code == LoadCode::Loaded) code = ExtractRecovery(path);
  if (code == LoadCode::Loaded) code = LoadDriverRecords();
  return code;
}

// Until here a load has written only into its own folders: a load that fails leaves the files
// of the project loaded before it as they were.
bool CProject::PlaceStagedFiles(bool deleteInfo) {
  if (!staged_) return false;
  const std::string stage = StageFolder();
  const std::string& base = env_.Paths.BaseDir;
  const std::string recoveryDir = base + kRecoveryFolder;
  std::error_code error;
  fs::create_directories(recoveryDir, error);
  bool placed = Place(ImageStageFolder() + kImageMember, base + kImageFolder + kImageMember) &&
                Place(stage + kRecoveryMember, recoveryDir + kRecoveryMember);
  // Without "MenuOption.sav" of its own a project must not pack the last project's values.
  if (Missing(stageResult_, kMenuValuesMember)) {
    RemoveFile(recoveryDir + kMenuValuesMember);
  } else {
    placed = Place(stage + kMenuValuesMember, recoveryDir + kMenuValuesMember) && placed;
  }
  const std::string infoPath = env_.Paths.TempDir + kInfoMember;
  RemoveFile(infoPath);
  if (!deleteInfo) placed = Place(stage + kInfoMember, infoPath) && placed;
  PlaceGroupDefine(stage);
  return placed;
}

void CProject::DropStagedFiles() {
  std::error_code error;
  fs::remove_all(StageFolder(), error);
  fs::remove_all(ImageStageFolder(), error);
  staged_ = false;
}

int CProject::ExtractInfo(const std::string& path) {
  const std::string stage = StageFolder();
  stageResult_ =
      ExtractMembers(env_.Archive, path, stage,
                     {kInfoMember, kRecoveryMember, kMenuValuesMember, kGroupDefineMember});
  const bool opened = stageResult_.Ok() || stageResult_.Status == ArchiveStatus::MissingMembers;
  if (!opened || Missing(stageResult_, kInfoMember)) return LoadCode::ExtractFailed;
  IniFile info;
  if (!info.Load(stage + kInfoMember)) return LoadCode::ExtractFailed;
  ReadProjectKeys(info, *this);
  loadedInfoText_ = ProjectInfoTextOf(fs::path(path).filename().string(), info);
  return LoadCode::Loaded;
}

int CProject::CheckDriverFiles() const {
  const std::string& base = env_.Paths.BaseDir;
  const std::optional<std::string> folder = FindInFolder(base + "DataBase/INI", Manufacturer);
  std::error_code error;
  if (!folder || !fs::is_directory(*folder, error)) return LoadCode::NoManufacturer;
  const std::optional<std::string> part = FindInFolder(*folder, PartsNumber + ".ini");
  if (!part || !IsRegularFile(*part)) return LoadCode::NoPartFile;

  IniFile driver;
  if (!driver.Load(*part)) return LoadCode::NoPartFile;
  const std::string menuFile = driver.ReadString(kDriverSection, kMenuFileKey, "0");
  if (IsNoMenu(menuFile)) return LoadCode::Loaded;
  const std::optional<std::string> menuPath = FindInFolder(base + "DataBase/Menu", menuFile);
  IniFile menu;
  if (!menuPath || !IsRegularFile(*menuPath) || !menu.Load(*menuPath)) return LoadCode::NoMenuFile;
  // Compared as text: "2024/01/05" and "2024/1/05" are different menus.
  if (menu.ReadString(kMenuMainSection, kMenuDateKey, "0") != MenuDate) {
    return LoadCode::MenuDateDiffers;
  }
  return LoadCode::Loaded;
}

int CProject::ExtractRecovery(const std::string& path) const {
  if (Missing(stageResult_, kRecoveryMember)) return LoadCode::ExtractFailed;
  IniFile info;
  if (!info.Load(StageFolder() + kRecoveryMember)) return LoadCode::ExtractFailed;
  const std::optional<std::uint64_t> size =
      TempSizeOf(info.ReadString(kRecoverySection, kTempSizeKey, "0"));
  if (!size) return LoadCode::BadRecoveryInfo;
  // The free space must exceed twice the image, strictly: the staged image lies beside the
  // loaded one until it takes its place.
  const std::uint64_t free = FreeBytes(env_.Paths.BaseDir);
  if (*size > UINT64_MAX / 2 || free <= 2 * *size) return LoadCode::NoDiskSpace;

  if (!ExtractMembers(env_.Archive, path, ImageStageFolder(), {kImageMember}).Ok()) {
    return LoadCode::ExtractFailed;
  }
  return LoadCode::Loaded;
}

void CProject::PlaceGroupDefine(const std::string& stage) const {
  const std::string target = env_.Paths.TempDir + kGroupDefineMember;
  NamedLockGuard guard(env_.GroupDefineLock);
  RemoveFile(target);
  // The archive was read: a project without the member gets an empty table.
  if (Missing(stageResult_, kGroupDefineMember) || !Place(stage + kGroupDefineMember, target)) {
    std::ofstream empty(target, std::ios::binary | std::ios::trunc);
  }
}

int CProject::LoadDriverRecords() {
  S_ProjectValue value;
  value.Textool = {Textool1Check, Textool2Check, Textool3Check, Textool4Check};
  value.MemArea = {MainMeMCheck, Ext1MeMCheck, Ext2MeMCheck, Ext3MeMCheck};
  value.Step = {PinscanCheck, IDCheck,     EraseCheck,  BlankCheck,
                ProgramCheck, VerifyCheck, ProtectCheck};
  value.Manufacturer = Manufacturer;
  value.PartsNumber = PartsNumber;
  FillProjectValues(value, env_.Records);
  const DriverIniSources sources{env_.Paths.BaseDir, env_.Paths.TempDir, env_.Index, env_.Pack};
  if (!LoadDriverIni(sources, Manufacturer, PartsNumber, env_.Records)) {
    return LoadCode::NoPartFile;
  }
  for (int site = 0; site < kSiteCount; ++site) BuildSiteProcessPlan(env_.Records, SiteSlot(site));
  return LoadCode::Loaded;
}
