#include "app/startup.h"

#include "app/message_box.h"

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

std::string MainCaption(const std::string& version, bool debugMode, const std::string& buildDate) {
  std::string caption = std::string(kApplicationTitle) + " - Software Ver. " + version;
  if (debugMode) caption += " - " + buildDate;
  return caption;
}
