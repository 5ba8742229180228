// Loading projects into a running system as the windows and the command line do: a good demo
// project, then damaged, foreign and missing ones, which leave the first one loaded with its
// records, data image and group define; and no load while a worker runs.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "project/cproject.h"
#include "project/driver_index.h"
#include "site/command.h"
#include "site/project_load.h"
#include "site/rescan.h"
#include "site/site_wait.h"
#include "tests/site/demo_base.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"

namespace fs = std::filesystem;

namespace {
std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// What a run reads of the loaded project, in memory and on disk.
struct ProjectState {
  const LoadedProject* object;
  std::string path;
  std::string partsNumber;
  std::array<std::uint8_t, kSlotImageBytes> driverImage;
  std::vector<GroupDefineEntry> groupDefine;
  std::size_t imageHash;
  std::string groupFile;
  std::string recovery;
  bool operator==(const ProjectState&) const = default;
};

class ProjectLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.system.SetPaths(demo.Paths());
    ASSERT_TRUE(LoadSelectList(demo.base, rig.system.SelectList(), rig.captured));
  }

  ProjectState State() {
    LoadedProject& loaded = rig.system.Project();
    return {&loaded,
            loaded.Path(),
            loaded.Records().ProjectValue[0].PartsNumber,
            loaded.Records().DriverImage.Bytes(),
            loaded.Project().GroupDefine(),
            std::hash<std::string>{}(ReadAll(demo.base + "Temp/Temp.BIN")),
            ReadAll(demo.temp + "GrpDef.def"),
            ReadAll(demo.base + "History/Recovery/Recovery.ini")};
  }

  DemoBase demo;
  SiteRig rig{1};
};

TEST_F(ProjectLoadTest, FailedLoadsKeepTheLoadedProjectWorking) {
  const std::vector<GroupDefineEntry> table{{1, 0, 0xFF, 0x100}, {2, 0x100, 0x1FF, 0x100}};
  const std::string first = demo.GroupDefined("grouped.zvprj", table);
  ASSERT_EQ(LoadProjectInto(rig.system, first), LoadCode::Loaded);
  EXPECT_TRUE(rig.host.MessageTexts().empty());
  EXPECT_TRUE(rig.captured.Has(kGroupDefineLoaded, LogColour::Black));
  EXPECT_TRUE(
      rig.captured.Has("[#1] Start = 256, End = 511, Size = 256, Parameter = 2", LogColour::Black));
  EXPECT_TRUE(rig.captured.Has(kLoadProjectComplete, LogColour::Green));
  EXPECT_TRUE(rig.system.ProcedureSelected());
  const ProjectState loaded = State();
  EXPECT_EQ(loaded.path, first);
  EXPECT_EQ(loaded.groupDefine, table);
  EXPECT_EQ(loaded.groupFile.size(), 2 * kGroupDefineRecordSize);

  const struct {
    std::string path;
    const char* message;
  } failures[] = {
      {demo.Damaged(demo.projects[0], "damaged.zvprj"), "Decryption Fail!"},
      {demo.Foreign("foreign.zvprj"), "Manufacturers Folder doesn't exist!"},
      {demo.Work("absent.zvprj"), "Project's File Does Not Exist!"},
  };
  CProject& checker = rig.system.Project().Project();
  EXPECT_TRUE(checker.CheckArchive(failures[0].path));  // the damage shows only on extraction
  for (const auto& failure : failures) {
    SCOPED_TRACE(failure.path);
    rig.captured.Clear();
    EXPECT_NE(LoadProjectInto(rig.system, failure.path), LoadCode::Loaded);
    ASSERT_FALSE(rig.host.MessageTexts().empty());
    EXPECT_EQ(rig.host.MessageTexts().back(), std::string("ERROR: ") + failure.message);
    EXPECT_FALSE(rig.captured.Has(kLoadProjectComplete, LogColour::Green));
    EXPECT_TRUE(State() == loaded);
  }

  // A good project after them takes the place of the first one whole.
  ASSERT_EQ(LoadProjectInto(rig.system, demo.projects[0]), LoadCode::Loaded);
  EXPECT_EQ(rig.system.Project().Path(), demo.projects[0]);
  EXPECT_TRUE(rig.system.Project().Project().GroupDefine().empty());
  EXPECT_TRUE(ReadAll(demo.temp + "GrpDef.def").empty());
  EXPECT_NE(State().partsNumber, loaded.partsNumber);
}

// Workers read the loaded project and its data image: no load, and no file of one, while a
// worker runs.
TEST_F(ProjectLoadTest, RefusedWhileAWorkerRuns) {
  ASSERT_TRUE(RescanUnits(rig.system));
  BusyWorker busy(rig, 0);
  ASSERT_TRUE(busy.Started());
  EXPECT_EQ(LoadProjectInto(rig.system, demo.projects[0]), LoadCode::SitesRunning);
  EXPECT_EQ(rig.host.MessageTexts(), std::vector<std::string>{"ERROR: Execute Project File Fail!"});
  EXPECT_TRUE(rig.system.Project().Path().empty());
  EXPECT_FALSE(fs::exists(demo.base + "Temp/Temp.BIN"));
  busy.Release();
  WaitForSitesOrFail(rig.system);
  rig.system.Shutdown();  // the worker's last step is over too
  EXPECT_EQ(LoadProjectInto(rig.system, demo.projects[0]), LoadCode::Loaded);
}
}  // namespace
