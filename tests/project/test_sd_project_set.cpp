// The SD card project set after a load: the nine files, the byte sums of "Checksum", the stop
// on a missing hardware file, the menu record's messages and the removal of the set.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "project/menu_file.h"
#include "project/sd_project_set.h"
#include "support/checksums.h"
#include "tests/project/project_fixture.h"

namespace fs = std::filesystem;

namespace {
std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::uint32_t SumOf(const std::string& path) {
  std::uint32_t sum = 0;
  for (const char c : ReadAll(path)) sum += static_cast<std::uint8_t>(c);
  return sum;
}

class SdProjectSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sys.AddPart("Acme", "QL25L8005", "mx25.mnu");
    sys.WriteMenu("mx25.mnu", "D1",
                  "Total=1\n[CurrentUserPage_0]\nComponentTotal=3\nComponentType0=0\n"
                  "ComponentType1=2\nValueType1=6\nLength1=4\nComponentType2=3\n");
  }

  int LoadWithValues(std::vector<std::string> values) {
    ProjectRecipe recipe = sys.RecipeFor("Acme", "QL25L8005");
    recipe.Keys.MenuDate = "D1";
    recipe.MenuValues = std::move(values);
    return sys.project->LoadProject(sys.Make(recipe), false);
  }

  ProjectSystem sys;
};
}  // namespace

TEST_F(SdProjectSetTest, NineFilesAndChecksumOfEightByteSumsInCardOrder) {
  ASSERT_EQ(LoadWithValues({"9", "ABCDEFG", "unused"}), LoadCode::Loaded);
  ASSERT_TRUE(sys.project->PrepareSdProjectSet());
  const auto files = SdProjectSetFiles(sys.paths, sys.records.DriverIni[0]);
  const char* labels[] = {"INI",    "Option", "Menu", "Info",    "Hardware",
                          "Driver", "FPGA",   "Temp", "Checksum"};
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_STREQ(files[i].Label, labels[i]);
    EXPECT_TRUE(fs::exists(files[i].Path)) << files[i].Path;
  }
  EXPECT_EQ(fs::file_size(files[0].Path), 16384u);
  EXPECT_EQ(fs::file_size(files[1].Path), 100u);
  EXPECT_EQ(fs::file_size(files[2].Path), 65536u);
  EXPECT_EQ(fs::file_size(files[4].Path), 16384u);
  const std::string checksum = ReadAll(files[8].Path);
  ASSERT_EQ(checksum.size(), 32u);
  for (std::size_t i = 0; i < 8; ++i) {
    std::uint32_t stored = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      stored |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(checksum[i * 4 + b]))
                << (8 * b);
    }
    EXPECT_EQ(stored, SumOf(files[i].Path)) << labels[i];
  }
  // The menu record holds 9 and the text cut to its four bytes.
  const std::string menu = ReadAll(files[2].Path);
  EXPECT_EQ(menu.substr(0, 9), std::string("\x09\0\0\0ABCD\xFF", 9));
  // The hardware image starts with the ten values of System/Hardware.ini.
  const std::string hardware = ReadAll(files[4].Path);
  EXPECT_EQ(static_cast<std::uint8_t>(hardware[0]), 25);
  EXPECT_EQ(static_cast<std::uint8_t>(hardware[36]), 3);
  EXPECT_EQ(sys.hardware.VDD_Offset, 25);

  sys.project->RemoveSdProjectSet();
  for (std::size_t i : {0, 1, 2, 3, 4, 8}) EXPECT_FALSE(fs::exists(files[i].Path)) << labels[i];
  for (std::size_t i : {5, 6, 7}) EXPECT_TRUE(fs::exists(files[i].Path)) << labels[i];
}

TEST_F(SdProjectSetTest, MissingHardwareFileStopsBeforeAnySum) {
  ASSERT_EQ(LoadWithValues({"1", "x", "y"}), LoadCode::Loaded);
  fs::remove(sys.Base("System/Hardware.ini"));
  EXPECT_FALSE(sys.project->PrepareSdProjectSet());
  ASSERT_EQ(sys.log.lines.size(), 1u);
  EXPECT_EQ(sys.log.lines[0].text, "Hardware File Not Exists!");
  EXPECT_EQ(sys.log.lines[0].colour, LogColour::Red);
  EXPECT_TRUE(fs::exists(sys.Temp("INI")));  // what was written before stays
  EXPECT_TRUE(fs::exists(sys.Temp("Menu")));
  EXPECT_FALSE(fs::exists(sys.Temp("Checksum")));
}

TEST_F(SdProjectSetTest, FileThatCannotBeSummedIsNamed) {
  ASSERT_EQ(LoadWithValues({"1", "x", "y"}), LoadCode::Loaded);
  fs::remove(sys.Base("DataBase/FPGA/fpga.bit"));
  EXPECT_FALSE(sys.project->PrepareSdProjectSet());
  ASSERT_FALSE(sys.log.lines.empty());
  EXPECT_EQ(sys.log.lines.back().text, "FPGA File Checksum Error!");
  EXPECT_FALSE(fs::exists(sys.Temp("Checksum")));
}

TEST_F(SdProjectSetTest, MenuRecordMessages) {
  // Three components, the last takes no line, yet a line must remain for it.
  ASSERT_EQ(LoadWithValues({"1", "x"}), LoadCode::Loaded);
  EXPECT_FALSE(sys.project->BuildMenuRecord());
  ASSERT_EQ(sys.boxes.size(), 1u);
  EXPECT_EQ(sys.boxes[0], MenuMessage::IncorrectArchive);
  EXPECT_FALSE(sys.project->PrepareSdProjectSet());  // the set needs the menu

  ASSERT_EQ(LoadWithValues({"one", "x", "y"}), LoadCode::Loaded);
  EXPECT_FALSE(sys.project->BuildMenuRecord());
  EXPECT_EQ(sys.boxes.back(), MenuMessage::IncorrectArchive);

  fs::remove(sys.Base("History/Recovery/MenuOption.sav"));
  EXPECT_FALSE(sys.project->BuildMenuRecord());
  EXPECT_EQ(sys.boxes.back(), "Menu Record file Does Not Exist!");

  fs::remove(sys.Base("DataBase/Menu/mx25.mnu"));
  EXPECT_FALSE(sys.project->BuildMenuRecord());
  EXPECT_EQ(sys.boxes.back(), "Menu File Does Not Exist!");
}

TEST(SdChecksumFile, LittleEndianSumsInOrder) {
  const auto bytes = EncodeChecksumFile({1, 0x01020304, 0, 0xFFFFFFFF, 5, 6, 7, 0x80});
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[4], 0x04);
  EXPECT_EQ(bytes[7], 0x01);
  EXPECT_EQ(bytes[12], 0xFF);
  EXPECT_EQ(bytes[28], 0x80);
  EXPECT_EQ(bytes[31], 0x00);
}
