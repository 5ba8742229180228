#pragma once
// Setting the program's three path texts at start-up.
#include <string>

#include "support/system_paths.h"

// Makes `path` a private folder of the user: creates it with mode 0700, or accepts an existing
// one only when it is a real directory (not a symbolic link) owned by the user; group and other
// permissions on an accepted folder are removed. False when the folder is refused or cannot be
// made, so that no file name in it can have been planted or read by someone else.
bool EnsurePrivateDir(const std::string& path);

// The folder of the running program file, with a trailing "/"; empty when unknown.
std::string ExecutableDir();

// The user's desktop folder with a trailing "/": $XDG_DESKTOP_DIR, else ~/Desktop when it
// exists, else the home folder.
std::string UserDesktopDir();

// The file an installation puts into the program's folder: its presence means the folder is
// read-only and every user keeps the program's files in a folder of their own.
inline constexpr const char* kInstallMarker = "System/Installed.txt";
inline constexpr const char* kUserFolderName = "gangprog";

// True when `programDir` (with its trailing "/") carries the install marker.
bool IsInstalledProgram(const std::string& programDir);

// The user's own base folder of an installed program, with a trailing "/":
// $XDG_DATA_HOME/gangprog/, else ~/.local/share/gangprog/; empty without a home folder.
std::string UserBaseDir();

struct PathSetup {
  std::string baseDirOverride;  // the command line's base folder; empty for the program's own
  std::string tempRoot;         // the system temporary folder; empty for the usual one
  std::string programDir;       // the program's folder; empty for the running program's own
};

// InitSystemPaths: BaseDir = the override, else for an installed program the user's base
// folder (created when missing), else the program's folder; InstallDir = the program's folder
// when installed; TempDir = the user's private folder "gangprog-<uid>" below the system
// temporary folder; DesktopDir. Every path ends in "/". False when no private temporary folder
// could be made (TempDir is then empty).
bool InitSystemPaths(SystemPaths& paths, const PathSetup& setup = {});

// Adds a trailing "/" unless the text is empty or already ends in one.
std::string WithTrailingSlash(std::string path);
