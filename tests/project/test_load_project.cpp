// Checking and loading project archives made by the project maker: result codes and what a
// load leaves behind, the driver lookup, the menu date, free space, group-define files and
// damaged or hostile archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <utility>

#include "tests/project/project_fixture.h"

namespace fs = std::filesystem;

namespace {
class LoadProjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sys.AddPart("Acme", "TK29C010");
    sys.AddPart("Acme", "QL25L8005", "mx25.mnu");
    sys.AddPart("Beta", "B100");
    sys.AddPart("Beta", "SHARED");
    sys.WriteMenu("mx25.mnu", "2024/01/05",
                  "Total=1\n[CurrentUserPage_0]\nComponentTotal=2\nComponentType0=0\n"
                  "ComponentType1=2\nValueType1=0\n");
  }

  ProjectRecipe MenuRecipe() const {
    ProjectRecipe recipe = sys.RecipeFor("Acme", "QL25L8005");
    recipe.Keys.MenuDate = "2024/01/05";
    recipe.MenuValues = std::vector<std::string>{"5", "70000"};
    return recipe;
  }

  int Load(const ProjectRecipe& recipe, bool deleteInfo = true) {
    return sys.project->LoadProject(sys.Make(recipe), deleteInfo);
  }

  static std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

  static std::uintmax_t SizeOf(const std::string& path) {
    std::error_code error;
    return fs::file_size(path, error);
  }

  ProjectSystem sys;
};
}  // namespace

TEST_F(LoadProjectTest, ArchiveCheckNeedsPasswordAndAllThreeMembers) {
  EXPECT_TRUE(sys.project->CheckArchive(sys.Make(sys.RecipeFor("Acme", "TK29C010"))));
  ProjectRecipe noRecovery = sys.RecipeFor("Acme", "TK29C010");
  noRecovery.OmitRecovery = true;
  EXPECT_FALSE(sys.project->CheckArchive(sys.Make(noRecovery)));
  ProjectRecipe noInfo = sys.RecipeFor("Acme", "TK29C010");
  noInfo.OmitInfo = true;
  EXPECT_FALSE(sys.project->CheckArchive(sys.Make(noInfo)));
  EXPECT_FALSE(sys.project->CheckArchive(sys.root + "work/absent.zvprj"));
}

TEST_F(LoadProjectTest, WrongPasswordIsFoundBeforeAnyMemberLookup) {
  ProjectRecipe recipe = sys.RecipeFor("Acme", "TK29C010");
  recipe.Password = "NotTheOne";
  const std::string path = sys.Make(recipe);
  EXPECT_FALSE(sys.project->CheckArchive(path));
  const ArchiveCheckResult check =
      sys.archiver.Check(path, ArchivePassword::Project, {"Temp.BIN", "Info.meg", "Recovery.ini"});
  EXPECT_TRUE(check.Opened);
  EXPECT_FALSE(check.PasswordAccepted);
  EXPECT_TRUE(check.Found.empty());
  EXPECT_EQ(sys.project->LoadProject(path, true), LoadCode::ExtractFailed);
  EXPECT_EQ(LoadProjectMessage(LoadCode::ExtractFailed), "Decryption Fail!");
}

TEST_F(LoadProjectTest, LoadFillsKeysRecordsAndExtractedFiles) {
  ProjectRecipe recipe = MenuRecipe();
  recipe.Keys.Textool2Check = true;
  recipe.Keys.EraseCheck = false;
  recipe.Keys.Author = "Ann";
  ASSERT_EQ(Load(recipe, false), LoadCode::Loaded);
  CProject& project = *sys.project;
  EXPECT_EQ(project.Author, "Ann");
  EXPECT_FALSE(project.EraseCheck);
  EXPECT_EQ(SizeOf(sys.Base("Temp/Temp.BIN")), 3000u);
  EXPECT_TRUE(fs::exists(sys.Base("History/Recovery/Recovery.ini")));
  EXPECT_TRUE(fs::exists(sys.Base("History/Recovery/MenuOption.sav")));
  EXPECT_TRUE(fs::exists(sys.Temp("Info.meg")));      // kept: the delete flag was clear
  EXPECT_FALSE(fs::exists(sys.Temp("ProjectLoad")));  // the load's own folders are gone
  EXPECT_FALSE(fs::exists(sys.Base("Temp/ProjectLoad")));
  for (std::size_t site = 0; site < SiteSlot(kSiteCount); ++site) {
    EXPECT_EQ(sys.records.ProjectValue[site].PartsNumber, "QL25L8005");
    EXPECT_EQ(sys.records.ProjectValue[site].Textool[1], 1);
    EXPECT_EQ(sys.records.ProjectValue[site].Step[StepFlag::Erase], 0);
    EXPECT_EQ(sys.records.DriverIni[site].MenuFile, "mx25.mnu");
    EXPECT_EQ(sys.records.ProcessPlan[site].MainLength, 4096u);
  }
  ASSERT_TRUE(project.BuildMenuRecord());
  const MenuRecord& menu = project.Menu();
  EXPECT_EQ(std::vector<std::uint8_t>(menu.begin(), menu.begin() + 7),
            (std::vector<std::uint8_t>{5, 0, 0, 0, 0x70, 0x11, 0xFF}));

  ASSERT_EQ(Load(sys.RecipeFor("Acme", "TK29C010"), true), LoadCode::Loaded);
  EXPECT_FALSE(fs::exists(sys.Temp("Info.meg")));
  // No "MenuOption.sav" in this project: the last project's values are gone too.
  EXPECT_FALSE(fs::exists(sys.Base("History/Recovery/MenuOption.sav")));
}

TEST_F(LoadProjectTest, DriverLookupCodes) {
  EXPECT_EQ(Load(sys.RecipeFor("Nobody", "TK29C010")), LoadCode::NoManufacturer);
  EXPECT_EQ(Load(sys.RecipeFor("Acme", "NOPART")), LoadCode::NoPartFile);
  EXPECT_EQ(Load(sys.RecipeFor("../DataBase/INI/Acme", "TK29C010")), LoadCode::NoManufacturer);
  EXPECT_EQ(Load(sys.RecipeFor("Acme", "../Acme/TK29C010")), LoadCode::NoPartFile);
  EXPECT_EQ(LoadProjectMessage(LoadCode::NoManufacturer), "Manufacturers Folder doesn't exist!");
  EXPECT_EQ(LoadProjectMessage(LoadCode::NoPartFile), "Part Number File doesn't exist!");
}

TEST_F(LoadProjectTest, ManufacturerMatchesWithoutLetterCasePartNumberWithIt) {
  EXPECT_EQ(Load(sys.RecipeFor("ACME", "TK29C010")), LoadCode::Loaded);
  EXPECT_EQ(sys.records.DriverIniPath, sys.Base("DataBase/INI/Acme/TK29C010.ini"));
  EXPECT_EQ(Load(sys.RecipeFor("Acme", "tk29c010")), LoadCode::NoPartFile);
}

TEST_F(LoadProjectTest, PartUnderALaterManufacturerGroupIsFound) {
  // "SHARED" stands only in Beta's group; the folder Acme/ has a file of that name, and the
  // index search from Acme's first entry runs on into Beta's group.
  sys.WriteFile("DataBase/INI/Acme/SHARED.ini", "[ZV80ExternValue]\nMenuFile=NONE\n");
  EXPECT_EQ(Load(sys.RecipeFor("Acme", "SHARED")), LoadCode::Loaded);
  EXPECT_EQ(sys.records.DriverIniPath, sys.Base("DataBase/INI/Beta/SHARED.ini"));
}

TEST_F(LoadProjectTest, MenuDateAndMenuFileCodes) {
  EXPECT_EQ(Load(MenuRecipe()), LoadCode::Loaded);
  ProjectRecipe leadingZero = MenuRecipe();
  leadingZero.Keys.MenuDate = "2024/1/05";
  EXPECT_EQ(Load(leadingZero), LoadCode::MenuDateDiffers);
  EXPECT_EQ(LoadProjectMessage(LoadCode::MenuDateDiffers), "Menu's Date Not Supported!");

  fs::remove(sys.Base("DataBase/Menu/mx25.mnu"));
  EXPECT_EQ(Load(MenuRecipe()), LoadCode::NoMenuFile);
  EXPECT_EQ(LoadProjectMessage(LoadCode::NoMenuFile), "Menu File Fail!");

  // "none" in any letter case needs no menu file and no date.
  sys.AddPart("Acme", "NOMENU", "none");
  ProjectRecipe none = sys.RecipeFor("Acme", "NOMENU");
  none.Keys.MenuDate = "whatever";
  EXPECT_EQ(Load(none), LoadCode::Loaded);
  EXPECT_TRUE(sys.project->BuildMenuRecord());
  for (const std::uint8_t byte : sys.project->Menu()) ASSERT_EQ(byte, 0xFF);
}

TEST_F(LoadProjectTest, FreeSpaceMustExceedTwiceTheImage) {
  ProjectRecipe recipe = sys.RecipeFor("Acme", "TK29C010");
  recipe.TempSizeText = "1000";
  const std::string path = sys.Make(recipe);
  sys.freeBytes = 2000;
  EXPECT_EQ(sys.project->LoadProject(path, true), LoadCode::NoDiskSpace);
  EXPECT_EQ(LoadProjectMessage(LoadCode::NoDiskSpace), "Not Enough Disk Space!");
  sys.freeBytes = 2001;
  EXPECT_EQ(sys.project->LoadProject(path, true), LoadCode::Loaded);
}

TEST_F(LoadProjectTest, TempSizeThatIsNoSizeOrHuge) {
  ProjectRecipe recipe = sys.RecipeFor("Acme", "TK29C010");
  for (const char* size : {"abc", "-5", "12kB"}) {
    recipe.TempSizeText = size;
    EXPECT_EQ(Load(recipe), LoadCode::BadRecoveryInfo) << size;
  }
  EXPECT_EQ(LoadProjectMessage(LoadCode::BadRecoveryInfo), "Execute Project File Fail!");
  for (const char* size : {"9223372036854775807", "99999999999999999999999999"}) {
    recipe.TempSizeText = size;
    EXPECT_EQ(Load(recipe), LoadCode::NoDiskSpace) << size;
  }
  recipe.TempSizeText = "";  // the editor left it empty: no number
  EXPECT_EQ(Load(recipe), LoadCode::BadRecoveryInfo);
}

TEST_F(LoadProjectTest, GroupDefineFileAfterLoad) {
  ProjectRecipe recipe = sys.RecipeFor("Acme", "TK29C010");
  ASSERT_EQ(Load(recipe), LoadCode::Loaded);
  ASSERT_TRUE(fs::exists(sys.Temp("GrpDef.def")));
  EXPECT_EQ(SizeOf(sys.Temp("GrpDef.def")), 0u);
  sys.project->ReadGroupDefine(sys.Temp("GrpDef.def"));
  EXPECT_TRUE(sys.project->GroupDefine().empty());

  recipe.GroupDefine = std::vector<GroupDefineEntry>{{1, 0, 9, 10}, {2, 10, 19, 10}};
  recipe.Keys.UsingGroupDefine = true;
  ASSERT_EQ(Load(recipe), LoadCode::Loaded);
  EXPECT_TRUE(sys.project->UsingGroupDefine);
  sys.project->ReadGroupDefine(sys.Temp("GrpDef.def"));
  EXPECT_EQ(sys.project->GroupDefine(), *recipe.GroupDefine);

  // A file of 40 bytes: two records, the partial third ignored.
  std::ofstream(sys.Temp("GrpDef.def"), std::ios::binary | std::ios::app) << std::string(8, 'x');
  sys.project->ReadGroupDefine(sys.Temp("GrpDef.def"));
  EXPECT_EQ(sys.project->GroupDefine().size(), 2u);
  sys.project->ReadGroupDefine(sys.Temp("absent.def"));
  EXPECT_TRUE(sys.project->GroupDefine().empty());
}

// Every way a load can fail after the first extraction, with a project loaded before it: the
// files that project left (data image, recovery files, group define) stay byte for byte.
TEST_F(LoadProjectTest, FailedLoadLeavesTheLoadedProjectsFilesAlone) {
  ProjectRecipe first = MenuRecipe();
  first.GroupDefine = std::vector<GroupDefineEntry>{{1, 0, 9, 10}};
  ASSERT_EQ(Load(first), LoadCode::Loaded);
  const char* kept[] = {"Temp/Temp.BIN", "History/Recovery/Recovery.ini",
                        "History/Recovery/MenuOption.sav"};
  // Size and digest of each file, so that a difference shows without pages of bytes.
  const auto snapshot = [&] {
    std::vector<std::pair<std::size_t, std::size_t>> files;
    const auto add = [&files](const std::string& text) {
      files.emplace_back(text.size(), std::hash<std::string>{}(text));
    };
    for (const char* name : kept) add(ReadAll(sys.Base(name)));
    add(ReadAll(sys.Temp("GrpDef.def")));
    return files;
  };
  const auto before = snapshot();
  ASSERT_EQ(before.back().first, 16u);

  ProjectRecipe big = sys.RecipeFor("Beta", "B100");
  big.ImageSize = 200000;
  big.GroupDefine = std::vector<GroupDefineEntry>{{7, 1, 2, 3}, {8, 4, 5, 6}};
  std::string flipped = ReadAll(sys.Make(big, "big.zvprj"));
  flipped[flipped.size() / 2] = static_cast<char>(flipped[flipped.size() / 2] ^ 0x5A);
  const std::string flippedPath = sys.root + "work/flipped.zvprj";
  std::ofstream(flippedPath, std::ios::binary | std::ios::trunc) << flipped;

  ProjectRecipe noSpace = big;
  noSpace.TempSizeText = "4611686018427387904";  // twice this is more than any disk
  ProjectRecipe badSize = big;
  badSize.TempSizeText = "abc";
  ProjectRecipe otherMenu = MenuRecipe();
  otherMenu.Keys.MenuDate = "2023/12/31";
  sys.WriteFile("DataBase/INI/Beta/LOST.ini", "[ZV80ExternValue]\nMenuFile=NONE\n");
  const struct {
    std::string path;
    int code;
  } cases[] = {
      {flippedPath, LoadCode::ExtractFailed},  // the data image fails its check
      {sys.Make(noSpace, "space.zvprj"), LoadCode::NoDiskSpace},
      {sys.Make(badSize, "size.zvprj"), LoadCode::BadRecoveryInfo},
      {sys.Make(otherMenu, "menu.zvprj"), LoadCode::MenuDateDiffers},
      // In the folder but not in the index: found out after every member is extracted.
      {sys.Make(sys.RecipeFor("Beta", "LOST"), "lost.zvprj"), LoadCode::NoPartFile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(sys.project->LoadProject(c.path, true), c.code);
    EXPECT_EQ(snapshot(), before);
    EXPECT_FALSE(fs::exists(sys.Temp("ProjectLoad")));
    EXPECT_FALSE(fs::exists(sys.Base("Temp/ProjectLoad")));
  }
}

TEST_F(LoadProjectTest, MissingProjectFile) {
  EXPECT_EQ(sys.project->LoadProject(sys.root + "work/none.zvprj", true), LoadCode::NoProjectFile);
  EXPECT_EQ(LoadProjectMessage(LoadCode::NoProjectFile), "Project's File Does Not Exist!");
  EXPECT_EQ(LoadProjectMessage(42), "Execute Project File Fail!");
}

TEST_F(LoadProjectTest, DamagedAndTruncatedArchivesFailCleanly) {
  ProjectRecipe recipe = sys.RecipeFor("Acme", "TK29C010");
  recipe.ImageSize = 200000;
  const std::string good = sys.Make(recipe, "good.zvprj");
  std::string bytes;
  {
    std::ifstream file(good, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  const auto write = [&](const std::string& name, const std::string& content) {
    const std::string path = sys.root + "work/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
  };
  std::string flipped = bytes;
  flipped[bytes.size() / 2] = static_cast<char>(flipped[bytes.size() / 2] ^ 0x5A);
  const std::string cases[] = {
      write("truncated.zvprj", bytes.substr(0, bytes.size() / 2)),
      write("header.zvprj", bytes.substr(0, 20)),
      write("flipped.zvprj", flipped),
      write("empty.zvprj", ""),
      write("text.zvprj", "this is no archive\n"),
  };
  for (const std::string& path : cases) {
    // A flipped data byte may pass the check, which proves the password and the member list
    // only; the load's extraction finds it.
    if (path != cases[2]) {
      EXPECT_FALSE(sys.project->CheckArchive(path)) << path;
    }
    EXPECT_EQ(sys.project->LoadProject(path, true), LoadCode::ExtractFailed) << path;
  }
  // Nothing landed outside the two folders of the system.
  for (const auto& entry : fs::recursive_directory_iterator(sys.root)) {
    const std::string path = entry.path().string();
    EXPECT_TRUE(path.rfind(sys.root + "base", 0) == 0 || path.rfind(sys.root + "temp", 0) == 0 ||
                path.rfind(sys.root + "work", 0) == 0)
        << path;
  }
}

// The load keeps the text of what it loaded: the same as the archive's own, read once.
TEST_F(LoadProjectTest, InformationTextOfAnArchiveLeavesTheLoadedInfoAlone) {
  const std::string loaded = sys.Make(MenuRecipe());
  EXPECT_EQ(sys.project->LoadedInfoText(), "");
  ASSERT_EQ(sys.project->LoadProject(loaded, false), LoadCode::Loaded);
  const std::uintmax_t infoSize = SizeOf(sys.Temp("Info.meg"));
  ProjectRecipe other = sys.RecipeFor("Beta", "B100");
  other.Keys.Note = "None";
  other.Keys.Author = "Bob";
  const std::string text = sys.project->ProjectInfoText(sys.Make(other, "other.zvprj"));
  EXPECT_EQ(text.rfind("Project Name: other.zvprj\r\nAuthor: Bob\r\n", 0), 0u) << text;
  EXPECT_EQ(text.find("Note:"), std::string::npos);
  EXPECT_EQ(SizeOf(sys.Temp("Info.meg")), infoSize);
  EXPECT_EQ(sys.project->ProjectInfoText(sys.root + "work/absent.zvprj"),
            "Project File Doesn't Exist!");
  ProjectRecipe broken = sys.RecipeFor("Beta", "B100");
  broken.OmitInfo = true;
  EXPECT_EQ(sys.project->ProjectInfoText(sys.Make(broken, "broken.zvprj")), "");
  EXPECT_EQ(sys.project->LoadedInfoText(), sys.project->ProjectInfoText(loaded));
  EXPECT_NE(sys.project->LoadedInfoText().find("Parts Number: "), std::string::npos);
}

TEST_F(LoadProjectTest, DemoProjectOfEveryPartLoadsWithItsMenu) {
  std::vector<std::string> written;
  std::string error;
  ASSERT_TRUE(
      MakeDemoProjects(sys.archiver, sys.paths.BaseDir, sys.root + "work/demo", written, error))
      << error;
  ASSERT_EQ(written.size(), 4u);
  EXPECT_EQ(fs::path(written[1]).filename(), "QL25L8005.zvprj");
  for (const std::string& path : written) {
    EXPECT_TRUE(sys.project->CheckArchive(path)) << path;
    EXPECT_EQ(sys.project->LoadProject(path, true), LoadCode::Loaded) << path;
    EXPECT_TRUE(sys.project->BuildMenuRecord()) << path;
    EXPECT_EQ(SizeOf(sys.Base("Temp/Temp.BIN")), 4096u);  // the driver's main area
  }
  sys.project->LoadProject(written[1], true);
  EXPECT_EQ(sys.project->MenuDate, "2024/01/05");
  EXPECT_TRUE(sys.boxes.empty());
}
