#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "support/system_paths_init.h"

namespace fs = std::filesystem;

namespace {
constexpr mode_t kPrivateMode = 0700;

// The per-user name below the temporary root, so that two users never share a folder.
std::string PrivateTempName() {
  return "gangprog-" + std::to_string(::geteuid());
}

std::string SystemTempRoot() {
  std::error_code error;
  const fs::path root = fs::temp_directory_path(error);  // honours $TMPDIR
  return error ? std::string("/tmp") : root.string();
}
}  // namespace

std::string WithTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

bool EnsurePrivateDir(const std::string& path) {
  if (path.empty()) return false;
  if (::mkdir(path.c_str(), kPrivateMode) != 0 && errno != EEXIST) return false;
  struct stat info {};
  // lstat: a symbolic link under the folder's name is refused, not followed.
  if (::lstat(path.c_str(), &info) != 0) return false;
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) return false;
  if ((info.st_mode & 0777) != kPrivateMode && ::chmod(path.c_str(), kPrivateMode) != 0) {
    return false;
  }
  return true;
}

std::string ExecutableDir() {
  std::error_code error;
  const fs::path exe = fs::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return WithTrailingSlash(exe.parent_path().string());
}

bool IsInstalledProgram(const std::string& programDir) {
  std::error_code error;
  return !programDir.empty() && fs::is_regular_file(programDir + kInstallMarker, error);
}

std::string UserBaseDir() {
  // The XDG rule: a relative $XDG_DATA_HOME is invalid and ignored.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && *xdg == '/') return WithTrailingSlash(xdg) + kUserFolderName + "/";
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home != '/') return {};
  return WithTrailingSlash(home) + ".local/share/" + kUserFolderName + "/";
}

std::string UserDesktopDir() {
  const char* xdg = std::getenv("XDG_DESKTOP_DIR");
  if (xdg != nullptr && *xdg != '\0') return WithTrailingSlash(xdg);
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return {};
  std::error_code error;
  const fs::path desktop = fs::path(home) / "Desktop";
  if (fs::is_directory(desktop, error)) return WithTrailingSlash(desktop.string());
  return WithTrailingSlash(home);
}

namespace {
// The installed program's base folder: the user's own, made on the first start. Without a
// home folder the program folder stays, and the start-up reports that it cannot use it.
std::string InstalledBaseDir(const std::string& programDir) {
  const std::string user = UserBaseDir();
  std::error_code error;
  if (user.empty()) return programDir;
  fs::create_directories(user, error);
  return user;
}
}  // namespace

bool InitSystemPaths(SystemPaths& paths, const PathSetup& setup) {
  const std::string programDir =
      setup.programDir.empty() ? ExecutableDir() : WithTrailingSlash(setup.programDir);
  const bool installed = IsInstalledProgram(programDir);
  paths.InstallDir = installed ? programDir : std::string();
  if (!setup.baseDirOverride.empty()) {
    std::error_code error;
    const fs::path absolute = fs::absolute(setup.baseDirOverride, error);
    paths.BaseDir =
        WithTrailingSlash(error ? setup.baseDirOverride : absolute.lexically_normal().string());
  } else {
    paths.BaseDir = installed ? InstalledBaseDir(programDir) : programDir;
  }
  paths.DesktopDir = UserDesktopDir();
  const std::string root = setup.tempRoot.empty() ? SystemTempRoot() : setup.tempRoot;
  const std::string temp = WithTrailingSlash(root) + PrivateTempName();
  if (!EnsurePrivateDir(temp)) {
    paths.TempDir.clear();
    return false;
  }
  paths.TempDir = WithTrailingSlash(temp);
  return true;
}
