#include "app/startup.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "app/message_box.h"
#include "log/core/log_sink.h"
#include "support/file_helpers.h"

bool CheckSingleInstance(const std::string& lockFolder, std::optional<InstanceLock>& held,
                         const std::string& title) {
  for (const char* sibling : kSiblingTitles) {
    if (title == sibling) continue;
    if (InstanceLock::IsHeld(lockFolder, sibling)) {
      ShowMessageBox(std::string("Please Close Programmer of ") + sibling + "!", "ERROR",
                     MB_OK | MB_ICONERROR);
      return false;
    }
  }
  held = InstanceLock::Acquire(lockFolder, title);
  if (!held) {
    ShowMessageBox("Programmer Already Open!", "WARNING", MB_OK | MB_ICONWARNING);
    return false;
  }
  return true;
}

bool CheckDirectories(const std::string& baseDir) {
  const std::string dataBase = kDirectoryTree.back();
  for (const char* name : kDirectoryTree) {
    const std::string path = baseDir + name;
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) continue;
    if (name == dataBase) return false;
    // One level: the parent was handled before; a failure stops the start-up.
    if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (!std::filesystem::is_directory(path, error)) return false;
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

std::string MainCaption(const std::string& version, bool debugMode, const std::string& buildDate) {
  std::string caption = std::string(kApplicationTitle) + " - Software Ver. " + version;
  if (debugMode) caption += " - " + buildDate;
  return caption;
}

bool DeleteTempFile(const std::string& path, LogSink& log) {
  if (WipeAndDeleteFile(path)) return true;
  const std::string name = std::filesystem::path(path).stem().string();
  log.AddLogMessage("Delete The Temporary File of " + name + " Fail!", LogColour::Red, 1, 0);
  return false;
}
