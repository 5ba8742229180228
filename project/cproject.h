#pragma once
// CProject: the loaded project of one system. It checks project archives, loads one into the
// system's records (keys, per-site records, driver image, the extracted data image and
// recovery files), builds the menu record, reads the group-define table, gives the
// information text and prepares the SD card project set.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "project/group_define.h"
#include "project/menu_record.h"
#include "project/message_box_fn.h"
#include "project/project_keys.h"
#include "support/archiver.h"

class LogSink;
class NamedLock;
class ResourcePack;
struct DriverIndex;
struct HardwareValues;
struct ProjectRecords;
struct SystemPaths;

// Result codes of LoadProject.
namespace LoadCode {
inline constexpr int Loaded = 0;
inline constexpr int ExtractFailed = 1;   // wrong password, damaged archive, member missing
inline constexpr int NoManufacturer = 2;  // manufacturer folder missing
inline constexpr int NoPartFile = 3;      // driver INI missing or not in the index
inline constexpr int MenuDateDiffers = 5;
inline constexpr int NoMenuFile = 6;
inline constexpr int NoDiskSpace = 9;
inline constexpr int NoProjectFile = 10;
inline constexpr int BadRecoveryInfo = 11;  // "TempSize" that is no size
inline constexpr int SitesRunning = 12;     // refused: a worker may read the loaded files
}  // namespace LoadCode

// The message a caller shows for a load code (caption "ERROR"); empty for code 0.
std::string LoadProjectMessage(int code);

// Free bytes on the file system of a path; the program uses GetDiskFreeBytes.
using FreeSpaceFn = std::function<std::uint64_t(const std::string& path)>;

// Everything a CProject works with; all owned by the system's context object.
struct ProjectEnvironment {
  const SystemPaths& Paths;
  const Archiver& Archive;
  const DriverIndex& Index;
  ResourcePack& Pack;
  ProjectRecords& Records;
  HardwareValues& Hardware;
  NamedLock& GroupDefineLock;  // "GroupDefineHandleThread"
  LogSink& Log;
  MessageBoxFn Box;       // error boxes of the menu record
  FreeSpaceFn FreeSpace;  // empty: GetDiskFreeBytes
};

inline constexpr const char* kInfoMember = "Info.meg";
inline constexpr const char* kImageMember = "Temp.BIN";
inline constexpr const char* kRecoveryMember = "Recovery.ini";
inline constexpr const char* kMenuValuesMember = "MenuOption.sav";
inline constexpr const char* kGroupDefineMember = "GrpDef.def";

class CProject : public ProjectKeys {
 public:
  explicit CProject(ProjectEnvironment env);
  ~CProject();
  CProject(const CProject&) = delete;
  CProject& operator=(const CProject&) = delete;

  // The file exists, the archive takes the project password, and it holds "Temp.BIN",
  // "Info.meg" and "Recovery.ini". The password is proved before any member is looked up.
  bool CheckArchive(const std::string& path) const;

  // Loads the project at `path` (result codes in LoadCode). With `deleteInfo` the extracted
  // "Info.meg" is removed from the temp directory afterwards. A load that fails leaves the
  // files of the project loaded before ("Temp/Temp.BIN", the recovery files, "GrpDef.def",
  // "Info.meg") as they were.
  int LoadProject(const std::string& path, bool deleteInfo);

  // LoadProject in halves, for a caller with checks of its own before the loaded project's
  // files are replaced. StageLoad runs every step and fills this object, but extracts only
  // into folders of the load; while staged, BuildMenuRecord reads the staged menu values.
  // PlaceStagedFiles moves them to their places (false if one could not be moved);
  // DropStagedFiles removes whatever is left of the stage.
  int StageLoad(const std::string& path);
  bool PlaceStagedFiles(bool deleteInfo);
  void DropStagedFiles();

  // Replaces the group-define table by the records of the file; missing: an empty table.
  void ReadGroupDefine(const std::string& path);
  // A copy of the table, taken under the group-define lock (the runs read it on workers).
  std::vector<GroupDefineEntry> GroupDefine() const;

  // The information text of the project archive at `path`.
  std::string ProjectInfoText(const std::string& path) const;
  // The information text of the project this object loaded (its "Info.meg", read by the load
  // itself: no second extraction); empty before a load.
  const std::string& LoadedInfoText() const { return loadedInfoText_; }

  // Builds the menu record for the loaded driver (its MenuFile). A driver without menu gets
  // a record of 0xFF bytes, so that no earlier project's values are sent.
  bool BuildMenuRecord();
  const MenuRecord& Menu() const { return *menu_; }

  // Writes the nine files of the SD card project set; false on the first failure, logged.
  bool PrepareSdProjectSet();
  // Deletes the set's files in the temp directory ("INI", "Option", "Menu", "Info.meg",
  // "Hardware", "Checksum").
  void RemoveSdProjectSet() const;

  ProjectEnvironment& Environment() { return env_; }

 private:
  std::string StageFolder() const;
  std::string ImageStageFolder() const;
  std::string MenuValuesPath() const;
  int ExtractInfo(const std::string& path);
  int CheckDriverFiles() const;
  int ExtractRecovery(const std::string& path) const;
  void PlaceGroupDefine(const std::string& stage) const;
  int LoadDriverRecords();
  std::uint64_t FreeBytes(const std::string& path) const;

  ProjectEnvironment env_;
  std::unique_ptr<MenuRecord> menu_;
  ArchiveResult stageResult_;      // the load's extraction of the small members
  bool staged_ = false;            // a load's files wait in its stage folders
  std::string loadedInfoText_;
  mutable std::mutex groupMutex_;  // the table itself; the named lock guards the file
  std::vector<GroupDefineEntry> groupDefine_;
};
