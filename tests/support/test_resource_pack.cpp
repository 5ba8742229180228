// The resource pack module and RC_Plus: extraction by name, keeping an existing file,
// deletion at the end, and the reports of a missing or unusable pack.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "support/resource_pack.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

struct Report {
  std::string Text;
  std::string Caption;
};

class ResourcePackTest : public ::testing::Test {
 protected:
  void InstallPack(const std::string& module = ZV_PLUS_MODULE) {
    fs::create_directories(base.Path() + "System");
    fs::copy_file(module, base.Path() + kPlusModulePath, fs::copy_options::overwrite_existing);
  }
  ErrorReporter Recorder() {
    return [this](const std::string& text, const std::string& caption) {
      reports.push_back({text, caption});
    };
  }
  static std::string SourceFile(const std::string& name) {
    std::ifstream in(std::string(ZV_RESOURCE_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  TempFolder base;
  TempFolder temp;
  std::vector<Report> reports;
};

TEST_F(ResourcePackTest, ExtractsTheResourcesAndDeletesThemAtTheEnd) {
  InstallPack();
  ResourcePack pack(base.Path(), Recorder());
  for (const std::string name : {"INIOrder.tab", "SelfTest.pga"}) {
    {
      RC_Plus rc(pack, temp.Path(), name);
      ASSERT_TRUE(rc.Ok()) << name;
      EXPECT_EQ(rc.Path(), temp.Path() + name);
      EXPECT_EQ(temp.Read(name), SourceFile(name)) << name;
    }
    EXPECT_FALSE(fs::exists(temp.Path() + name)) << name;
  }
  EXPECT_TRUE(pack.Loaded());
  EXPECT_LE(pack.Find("selftest")->Size, 0x24C00u);
  EXPECT_TRUE(reports.empty());
}

TEST_F(ResourcePackTest, AnExistingFileIsKeptAsItIs) {
  InstallPack();
  ResourcePack pack(base.Path(), Recorder());
  temp.Write("INIOrder.tab", "already here");
  {
    RC_Plus rc(pack, temp.Path(), "INIOrder.tab");
    EXPECT_TRUE(rc.Ok());
    EXPECT_EQ(temp.Read("INIOrder.tab"), "already here");
  }
  EXPECT_FALSE(fs::exists(temp.Path() + "INIOrder.tab"));
}

TEST_F(ResourcePackTest, UnknownResourceFailsWithoutAReport) {
  InstallPack();
  ResourcePack pack(base.Path(), Recorder());
  RC_Plus rc(pack, temp.Path(), "7z.dll");  // the archiver is a program here, not a resource
  EXPECT_FALSE(rc.Ok());
  EXPECT_FALSE(fs::exists(temp.Path() + "7z.dll"));
  EXPECT_TRUE(reports.empty());
}

TEST_F(ResourcePackTest, MissingPackIsReportedAtEveryUse) {
  ResourcePack pack(base.Path(), Recorder());
  {
    RC_Plus rc(pack, temp.Path(), "INIOrder.tab");
    EXPECT_FALSE(rc.Ok());
  }
  RC_Plus again(pack, temp.Path(), "SelfTest.pga");
  EXPECT_FALSE(again.Ok());
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].Text, "Plus.dll Does Not Exist!");
  EXPECT_EQ(reports[0].Caption, "ERROR");
  EXPECT_FALSE(fs::exists(temp.Path() + "INIOrder.tab"));
}

TEST_F(ResourcePackTest, ModuleWithoutTheTableIsRefused) {
  fs::create_directories(base.Path() + "System");
  std::ofstream(base.Path() + kPlusModulePath) << "not a module";
  ResourcePack pack(base.Path(), Recorder());
  EXPECT_FALSE(RC_Plus(pack, temp.Path(), "INIOrder.tab").Ok());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].Caption, "ERROR");
  EXPECT_FALSE(pack.Loaded());
}

}  // namespace
