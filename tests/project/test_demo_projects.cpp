// The demo set-up end to end: the demo database, one demo project per part, and each one
// checked, loaded, its menu record built and its SD card set prepared.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/project/project_fixture.h"
#include "tools/make_demo_db/demo_database.h"

TEST(DemoProjects, EveryDemoPartLoadsAndPreparesItsCardSet) {
  ProjectSystem sys;
  std::string error;
  ASSERT_TRUE(MakeDemoDatabase(sys.archiver, sys.paths.BaseDir, error)) << error;
  std::ifstream select(sys.Base(kSelectListPath), std::ios::binary);
  sys.index = ParseDriverIndex(
      std::string(std::istreambuf_iterator<char>(select), std::istreambuf_iterator<char>()));
  ASSERT_GT(sys.index.Count(), 0u);

  std::vector<std::string> written;
  ASSERT_TRUE(
      MakeDemoProjects(sys.archiver, sys.paths.BaseDir, sys.root + "work/demo", written, error))
      << error;
  ASSERT_EQ(written.size(), sys.index.Count());
  for (const std::string& path : written) {
    SCOPED_TRACE(path);
    EXPECT_TRUE(sys.project->CheckArchive(path));
    ASSERT_EQ(sys.project->LoadProject(path, false), LoadCode::Loaded);
    EXPECT_TRUE(sys.project->BuildMenuRecord());
    EXPECT_TRUE(sys.project->PrepareSdProjectSet());
    sys.project->RemoveSdProjectSet();
  }
  EXPECT_TRUE(sys.boxes.empty());
  EXPECT_TRUE(sys.log.lines.empty());
}
