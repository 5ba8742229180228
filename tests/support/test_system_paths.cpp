// The program's paths: base folder, private temporary folder, desktop.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "support/system_paths_init.h"

namespace fs = std::filesystem;

class SystemPathsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("zv_paths_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  std::string PrivateName() const { return "gangprog-" + std::to_string(::geteuid()); }
  static unsigned ModeOf(const fs::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0xFFFFu;
  }

  fs::path root_;
};

TEST_F(SystemPathsTest, TempDirIsAPrivateFolderBelowTheTemporaryRoot) {
  SystemPaths paths;
  ASSERT_TRUE(InitSystemPaths(paths, {"", root_.string(), {}}));
  EXPECT_EQ(paths.TempDir, (root_ / PrivateName()).string() + "/");
  EXPECT_EQ(ModeOf(root_ / PrivateName()), 0700u);

  // An existing folder of ours with wider rights is narrowed again.
  ::chmod((root_ / PrivateName()).c_str(), 0777);
  ASSERT_TRUE(InitSystemPaths(paths, {"", root_.string(), {}}));
  EXPECT_EQ(ModeOf(root_ / PrivateName()), 0700u);
}

TEST_F(SystemPathsTest, PlantedTempDirIsRefused) {
  // A link under the private name, pointing at a folder someone else chose.
  fs::create_directory(root_ / "elsewhere");
  fs::create_directory_symlink(root_ / "elsewhere", root_ / PrivateName());
  SystemPaths paths;
  EXPECT_FALSE(InitSystemPaths(paths, {"", root_.string(), {}}));
  EXPECT_TRUE(paths.TempDir.empty());

  // A plain file under the name.
  fs::remove(root_ / PrivateName());
  { std::ofstream(root_ / PrivateName()) << "x"; }
  EXPECT_FALSE(InitSystemPaths(paths, {"", root_.string(), {}}));

  // A folder owned by another user (only root can arrange one here).
  if (::geteuid() == 0) {
    fs::remove(root_ / PrivateName());
    fs::create_directory(root_ / PrivateName());
    ASSERT_EQ(::chown((root_ / PrivateName()).c_str(), 12345, 12345), 0);
    EXPECT_FALSE(InitSystemPaths(paths, {"", root_.string(), {}}));
  }
}

TEST_F(SystemPathsTest, BaseDirIsTheOverrideOrTheProgramFolder) {
  SystemPaths paths;
  ASSERT_TRUE(InitSystemPaths(paths, {"", root_.string(), {}}));
  EXPECT_EQ(paths.BaseDir, fs::read_symlink("/proc/self/exe").parent_path().string() + "/");

  ASSERT_TRUE(InitSystemPaths(paths, {(root_ / "demo").string(), root_.string(), {}}));
  EXPECT_EQ(paths.BaseDir, (root_ / "demo").string() + "/");

  // A relative override becomes absolute, so a later change of folder cannot move it.
  const fs::path saved = fs::current_path();
  fs::current_path(root_);
  ASSERT_TRUE(InitSystemPaths(paths, {"build/./demo/", root_.string(), {}}));
  fs::current_path(saved);
  EXPECT_EQ(paths.BaseDir, (root_ / "build" / "demo").string() + "/");
}

TEST_F(SystemPathsTest, DesktopDirFollowsTheEnvironment) {
  const char* savedXdg = std::getenv("XDG_DESKTOP_DIR");
  const char* savedHome = std::getenv("HOME");
  const std::string xdg = savedXdg ? savedXdg : "";
  const std::string home = savedHome ? savedHome : "";

  ::setenv("XDG_DESKTOP_DIR", "/some/desk", 1);
  EXPECT_EQ(UserDesktopDir(), "/some/desk/");
  ::unsetenv("XDG_DESKTOP_DIR");
  ::setenv("HOME", root_.c_str(), 1);
  EXPECT_EQ(UserDesktopDir(), root_.string() + "/");
  fs::create_directory(root_ / "Desktop");
  EXPECT_EQ(UserDesktopDir(), (root_ / "Desktop").string() + "/");

  if (savedXdg) ::setenv("XDG_DESKTOP_DIR", xdg.c_str(), 1);
  if (savedHome) ::setenv("HOME", home.c_str(), 1);
}

// A program folder with the install marker is read-only: the base folder becomes the user's
// own (made at once), the program folder is kept as InstallDir, and --base-dir still wins.
// Without the marker (a build tree, a copy) nothing changes.
TEST_F(SystemPathsTest, InstalledProgramKeepsItsFilesInTheUsersFolder) {
  const char* savedData = std::getenv("XDG_DATA_HOME");
  const std::string data = savedData ? savedData : "";
  const fs::path program = root_ / "usr" / "lib" / "gangprog";
  fs::create_directories(program / "System");
  const std::string programDir = program.string() + "/";
  ::setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);

  SystemPaths paths;
  ASSERT_TRUE(InitSystemPaths(paths, {"", root_.string(), programDir}));
  EXPECT_EQ(paths.BaseDir, programDir);
  EXPECT_TRUE(paths.InstallDir.empty());

  { std::ofstream(program / kInstallMarker) << "installed"; }
  ASSERT_TRUE(InitSystemPaths(paths, {"", root_.string(), programDir}));
  EXPECT_EQ(paths.BaseDir, (root_ / "data" / "gangprog").string() + "/");
  EXPECT_TRUE(fs::is_directory(root_ / "data" / "gangprog"));
  EXPECT_EQ(paths.InstallDir, programDir);

  ASSERT_TRUE(InitSystemPaths(paths, {(root_ / "demo").string(), root_.string(), programDir}));
  EXPECT_EQ(paths.BaseDir, (root_ / "demo").string() + "/");
  EXPECT_EQ(paths.InstallDir, programDir);

  // A relative XDG_DATA_HOME is ignored, as the XDG rule says: the home folder's default.
  ::setenv("XDG_DATA_HOME", "relative", 1);
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') {
    EXPECT_EQ(UserBaseDir(), std::string(home) + (std::string(home).back() == '/' ? "" : "/") +
                                 ".local/share/gangprog/");
  }
  if (savedData) {
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  } else {
    ::unsetenv("XDG_DATA_HOME");
  }
}
