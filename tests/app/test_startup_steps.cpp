// Start-up steps without windows: single instance and siblings, the directory tree, the caption
// texts and the wiping delete of temporary files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <vector>

#include "app/message_box.h"
#include "app/startup.h"
#include "log/core/log_sink.h"
#include "site/system_startup.h"

namespace fs = std::filesystem;

namespace {
struct CapturedLine {
  std::string text;
  std::uint32_t colour;
};

class CaptureLog : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    lines.push_back({text, colour});
  }
  std::vector<CapturedLine> lines;
};

class StartupStepsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("zv_steps_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_);
    SetMessageBoxAnswerer([this](const MessageBoxCall& call) {
      boxes_.push_back(call);
      return IDOK;
    });
  }
  void TearDown() override {
    SetMessageBoxAnswerer({});
    fs::remove_all(root_);
  }
  std::string Folder() const { return root_.string(); }

  fs::path root_;
  std::vector<MessageBoxCall> boxes_;
};
}  // namespace

TEST_F(StartupStepsTest, SecondStartIsRefusedAndTheFirstKeepsItsLock) {
  std::optional<InstanceLock> first;
  ASSERT_TRUE(CheckSingleInstance(Folder(), first));
  EXPECT_TRUE(boxes_.empty());

  std::optional<InstanceLock> second;
  EXPECT_FALSE(CheckSingleInstance(Folder(), second));
  EXPECT_FALSE(second.has_value());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Programmer Already Open!");
  EXPECT_EQ(boxes_[0].caption, "WARNING");
  EXPECT_EQ(boxes_[0].flags, unsigned{MB_OK | MB_ICONWARNING});
  // The running instance is untouched.
  EXPECT_TRUE(first.has_value() && first->Held());
  EXPECT_TRUE(InstanceLock::IsHeld(Folder(), kApplicationTitle));

  first.reset();
  std::optional<InstanceLock> third;
  EXPECT_TRUE(CheckSingleInstance(Folder(), third));
}

TEST_F(StartupStepsTest, RunningSiblingStopsTheStartBeforeAnyLockIsTaken) {
  for (const char* sibling :
       {"Tarnik Solo", "Tarnik Solo Multi", "Tarnik Gang Programmer", "Tarnik Mini Tester"}) {
    boxes_.clear();
    auto siblingLock = InstanceLock::Acquire(Folder(), sibling);
    ASSERT_TRUE(siblingLock.has_value());
    std::optional<InstanceLock> held;
    EXPECT_FALSE(CheckSingleInstance(Folder(), held)) << sibling;
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].text, std::string("Please Close Programmer of ") + sibling + "!");
    EXPECT_EQ(boxes_[0].caption, "ERROR");
    EXPECT_EQ(boxes_[0].flags, unsigned{MB_OK | MB_ICONERROR});
    EXPECT_FALSE(InstanceLock::IsHeld(Folder(), kApplicationTitle));
  }
}

TEST_F(StartupStepsTest, FirstRunningSiblingOfTheListIsNamed) {
  auto mini = InstanceLock::Acquire(Folder(), "Tarnik Mini Tester");
  auto multi = InstanceLock::Acquire(Folder(), "Tarnik Solo Multi");
  std::optional<InstanceLock> held;
  EXPECT_FALSE(CheckSingleInstance(Folder(), held));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "Please Close Programmer of Tarnik Solo Multi!");
}

// Every failure of the tree names its path on a line of its own: a missing base folder, a
// missing "DataBase" (after the other folders were made), a folder that cannot be made.
TEST_F(StartupStepsTest, DirectoryTreeFailuresNameTheirFolder) {
  const std::string base = Folder() + "/";
  CaptureLog log;
  EXPECT_FALSE(CheckDirectories(base + "nowhere/", log));
  EXPECT_FALSE(fs::exists(root_ / "nowhere"));
  EXPECT_FALSE(CheckDirectories(base, log));
  for (const char* name :
       {"Temp", "System", "History", "History/MLOG", "History/Reload", "History/Recovery"}) {
    EXPECT_TRUE(fs::is_directory(root_ / name)) << name;
  }
  EXPECT_FALSE(fs::exists(root_ / "DataBase"));  // looked for, never made

  fs::create_directory(root_ / "DataBase");
  EXPECT_TRUE(CheckDirectories(base, log));

  // A file where a folder belongs stops the check there.
  const fs::path other = root_ / "other";
  fs::create_directories(other / "DataBase");
  { std::ofstream(other / "History") << "a file where a folder belongs"; }
  EXPECT_FALSE(CheckDirectories(other.string() + "/", log));
  EXPECT_TRUE(fs::is_directory(other / "System"));
  EXPECT_FALSE(fs::exists(other / "History" / "MLOG"));
  std::vector<std::string> texts;
  for (const CapturedLine& line : log.lines) {
    texts.push_back(line.text);
    EXPECT_EQ(line.colour, LogColour::Red) << line.text;
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Folder Does Not Exist: " + base + "nowhere/",
                       "Folder Does Not Exist: " + base + "DataBase",
                       "Folder Cannot Be Made: " + other.string() + "/History (Not a directory)",
                   }));
}

// An installed program's first start in a new base folder, the user's own or one named on the
// command line, copies the factory database in; a database the user has already is never
// touched, and a program run from its build tree (no InstallDir) copies nothing.
TEST_F(StartupStepsTest, FactoryDataBaseSeedsOnlyAMissingOneOfAnInstalledProgram) {
  fs::create_directories(root_ / "install" / "DataBase" / "Update");
  { std::ofstream(root_ / "install" / "DataBase" / "Update" / "Select.SEL") << "factory"; }
  CaptureLog log;
  SystemPaths paths;
  paths.BaseDir = (root_ / "user" / "new").string() + "/";

  EXPECT_TRUE(SeedDataBase(paths, log));
  EXPECT_FALSE(fs::exists(root_ / "user"));

  paths.InstallDir = (root_ / "install").string() + "/";
  EXPECT_TRUE(SeedDataBase(paths, log));
  const fs::path seeded = root_ / "user" / "new" / "DataBase" / "Update" / "Select.SEL";
  std::string text;
  std::getline(std::ifstream(seeded), text);
  EXPECT_EQ(text, "factory");
  EXPECT_FALSE(fs::exists(root_ / "user" / "new" / "DataBase.part"));

  { std::ofstream(seeded) << "the user's own"; }
  EXPECT_TRUE(SeedDataBase(paths, log));
  std::getline(std::ifstream(seeded), text);
  EXPECT_EQ(text, "the user's own");
  EXPECT_TRUE(log.lines.empty());

  // A base folder below a file cannot be made: named, nothing copied.
  { std::ofstream(root_ / "plain") << "x"; }
  paths.BaseDir = (root_ / "plain" / "base").string() + "/";
  EXPECT_FALSE(SeedDataBase(paths, log));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].text, "Folder Cannot Be Made: " + paths.BaseDir + " (Not a directory)");
}

TEST_F(StartupStepsTest, CaptionCarriesTheVersionAndInDebugModeTheBuildDate) {
  const std::string version = GetVersionText();
  EXPECT_TRUE(std::regex_match(version, std::regex(R"(\d+\.\d+\.\d+\.\d+)"))) << version;
  EXPECT_EQ(MainCaption("1.0.0.1", false, "Aug  5 2015"),
            "Tarnik Gang Programmer Console - Software Ver. 1.0.0.1");
  EXPECT_EQ(MainCaption("1.0.0.1", true, "Aug  5 2015"),
            "Tarnik Gang Programmer Console - Software Ver. 1.0.0.1 - Aug  5 2015");
  EXPECT_TRUE(std::regex_match(BuildDateText(), std::regex(R"([A-Z][a-z]{2} [ 123]\d \d{4})")))
      << BuildDateText();
}

TEST_F(StartupStepsTest, DeleteTempFileWipesReportsAndIsQuietForMissingFiles) {
  CaptureLog log;
  EXPECT_TRUE(DeleteTempFile((root_ / "BIOS.BIN").string(), log));
  EXPECT_TRUE(log.lines.empty());

  { std::ofstream(root_ / "BIOS.BIN") << "image"; }
  EXPECT_TRUE(DeleteTempFile((root_ / "BIOS.BIN").string(), log));
  EXPECT_FALSE(fs::exists(root_ / "BIOS.BIN"));
  EXPECT_TRUE(log.lines.empty());

  // A folder under a temporary name cannot go: one red line, named without its extension.
  fs::create_directories(root_ / "BIOSInfo.ini" / "inside");
  EXPECT_FALSE(DeleteTempFile((root_ / "BIOSInfo.ini").string(), log));
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].text, "Delete The Temporary File of BIOSInfo Fail!");
  EXPECT_EQ(log.lines[0].colour, LogColour::Red);
}
