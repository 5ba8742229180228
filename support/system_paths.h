#pragma once
// The program's three path texts, set at start-up and handed down. Each ends in "/".
#include <string>

struct SystemPaths {
  std::string BaseDir;     // the program's folder, or the "ExeDirPath" setting
  std::string TempDir;     // the user's private temporary folder (mode 0700)
  std::string DesktopDir;  // initial folder of the log Save dialog
  // The installed program's read-only folder (resource pack, factory database) when the
  // program runs from an installation; empty when it runs from its build tree or a copy.
  std::string InstallDir;
};
