#include "site/system_startup.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "log/core/log_sink.h"
#include "project/driver_index.h"
#include "site/ops/unit_notice_ops.h"
#include "site/site_context.h"
#include "site/site_system.h"
#include "support/file_helpers.h"
#include "support/registry_store.h"
#include "support/system_ini.h"

namespace {
// Failures of the start-up's files name the path, so that a user can tell what is missing.
void LogPathFailure(LogSink& log, const std::string& what, const std::string& path,
                    const std::string& reason = {}) {
  std::string line = what;
  line += ": ";
  line += path;
  if (!reason.empty()) line += " (" + reason + ")";
  log.Write(line, LogColour::Red);
}
}  // namespace

bool CheckDirectories(const std::string& baseDir, LogSink& log) {
  std::error_code error;
  if (!std::filesystem::is_directory(baseDir, error)) {
    LogPathFailure(log, kFolderMissing, baseDir);
    return false;
  }
  const std::string dataBase = kDirectoryTree.back();
  for (const char* name : kDirectoryTree) {
    const std::string path = baseDir + name;
    if (std::filesystem::is_directory(path, error)) continue;
    if (name == dataBase) {
      LogPathFailure(log, kFolderMissing, path);
      return false;
    }
    // One level: the parent was handled before; a failure stops the start-up.
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
      LogPathFailure(log, kFolderNotMade, path, std::strerror(errno));
      return false;
    }
    if (!std::filesystem::is_directory(path, error)) {
      LogPathFailure(log, kFolderNotMade, path, std::strerror(ENOTDIR));
      return false;
    }
  }
  return true;
}

bool SeedDataBase(const SystemPaths& paths, LogSink& log) {
  const std::string dataBase = kDirectoryTree.back();
  const std::string target = paths.BaseDir + dataBase;
  std::error_code error;
  if (paths.InstallDir.empty() || std::filesystem::exists(target, error)) return true;
  const std::string factory = paths.InstallDir + dataBase;
  if (!std::filesystem::is_directory(factory, error)) return true;
  // A new base folder named on the command line is made here, as the user's own folder is.
  std::filesystem::create_directories(paths.BaseDir, error);
  if (error) {
    LogPathFailure(log, kFolderNotMade, paths.BaseDir, error.message());
    return false;
  }
  // Copied under another name and renamed, so that a copy cut short never looks complete.
  const std::string partial = target + ".part";
  std::filesystem::remove_all(partial, error);
  std::filesystem::copy(factory, partial, std::filesystem::copy_options::recursive, error);
  if (!error) std::filesystem::rename(partial, target, error);
  if (error) {
    LogPathFailure(log, kDataBaseNotCopied, factory + " -> " + target, error.message());
    std::error_code ignored;
    std::filesystem::remove_all(partial, ignored);
    return false;
  }
  return true;
}

std::string GetVersionText() {
#if defined(ZV_VERSION_MAJOR) && defined(ZV_VERSION_MINOR) && defined(ZV_VERSION_PATCH) && \
    defined(ZV_VERSION_TWEAK)
  return std::to_string(ZV_VERSION_MAJOR) + "." + std::to_string(ZV_VERSION_MINOR) + "." +
         std::to_string(ZV_VERSION_PATCH) + "." + std::to_string(ZV_VERSION_TWEAK);
#else
  return {};
#endif
}

std::string BuildDateText() {
  return __DATE__;
}

bool DeleteTempFile(const std::string& path, LogSink& log) {
  if (WipeAndDeleteFile(path)) return true;
  const std::string name = std::filesystem::path(path).stem().string();
  log.Write("Delete The Temporary File of " + name + " Fail!", LogColour::Red);
  return false;
}

bool SetSystemPaths(SiteSystem& system, const PathSetup& setup) {
  SystemPaths paths;
  const bool privateTemp = InitSystemPaths(paths, setup);
  system.SetPaths(paths);
  return privateTemp;
}

void LoadSystemSettings(SiteSystem& system, bool handlerMode) {
  SystemPaths paths = system.Paths();
  LoadSystemIniFile(paths.BaseDir, handlerMode, system.Para());
  if (paths.BaseDir != system.Paths().BaseDir) system.SetPaths(paths);
  system.Links().ApplySettings(system.Para());
  system.ApplyRecordsUrl();
}

bool CheckSystemFiles(SiteSystem& system, bool privateTemp) {
  if (!privateTemp) {
    // Fixed temporary names in a folder someone else controls could be planted or read.
    system.Log().Write(kTempFolderFail, LogColour::Red);
    return false;
  }
  const std::string& baseDir = system.Paths().BaseDir;
  // A failed seed has named what failed; the folders below would only repeat it.
  if (!SeedDataBase(system.Paths(), system.Log())) return false;
  if (!CheckDirectories(baseDir, system.Log())) return false;
  const std::string selectList = baseDir + kSelectListPath;
  std::error_code error;
  if (!std::filesystem::is_regular_file(selectList, error)) {
    LogPathFailure(system.Log(), kFileMissing, selectList);
  }
  return LoadSelectList(baseDir, system.SelectList(), system.Log());
}

void ReportRegistryStore(const RegistryStore& store, LogSink& log) {
  const std::string refusal = store.Refusal();
  if (!refusal.empty()) log.Write(refusal, LogColour::Orange, LogLevel::Essential);
}

void SendCloseNotices(SiteSystem& system) {
  for (int site = 0; site < kSiteCount; ++site) {
    if (system.Panels().Status(site) == siNone) continue;
    SiteContext ctx(system, site);
    CloseNotice(ctx);
  }
}

void CloseSystem(SiteSystem& system, bool handlerMode) {
  system.Shutdown();  // no worker runs any more: the close notices use the links directly
  if (!handlerMode) SendCloseNotices(system);
  // Without a private folder there are no temporary files of ours to remove.
  const std::string& tempDir = system.Paths().TempDir;
  if (!tempDir.empty()) {
    for (const char* name : kTempFiles) DeleteTempFile(tempDir + name, system.Log());
    DeleteTempFile(tempDir + kGroupDefineTempFile, system.Log());
  }
  for (int site = 0; site < kSiteCount; ++site) system.Link(site).CloseDevice();
  system.CloseRecords();  // the last records committed and shipped while the log still shows
}
