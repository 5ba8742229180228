// The driver image through the order table, the driver texts, and the whole driver load
// with the real resource pack and order table.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/driver_index.h"
#include "project/driver_ini.h"
#include "project/driver_slots.h"
#include "project/project_records.h"
#include "support/ini_file.h"
#include "support/resource_pack.h"
#include "tests/support/temp_folder.h"

namespace {

IniFile Driver(std::string_view body) {
  IniFile ini;
  ini.LoadText("[ZV80ExternValue]\r\n" + std::string(body));
  return ini;
}

bool AllFF(const SlotImage& image, std::size_t from = 0) {
  for (std::size_t i = from; i < kSlotImageSlots; ++i) {
    if (image.Slot(i) != 0xFFFFFFFFu) return false;
  }
  return true;
}

TEST(DriverIniImage, SlotsFollowTheTableLines) {
  const IniFile ini = Driver("A=5\r\nb=0x10\r\nC=text\r\nD=99999999999\r\nE=-1\r\n");
  DriverIniImage image;
  image.SetSlot(100, 1234);  // left over from a previous load
  FillDriverIniImage(ini, "header 0\r\nheader 1\r\nA\r\n\r\nB\r\nC\r\nD\r\nMissing\r\n  E  \r\n",
                     image);
  EXPECT_EQ(image.Slot(0), 5u);
  EXPECT_EQ(image.Slot(1), 0xFFFFFFFFu);  // empty line
  EXPECT_EQ(image.Slot(2), 16u);          // key names ignore letter case
  EXPECT_EQ(image.Slot(3), 0u);           // not an integer: default 0
  EXPECT_EQ(image.Slot(4), 0u);           // beyond 32 bits: default 0
  EXPECT_EQ(image.Slot(5), 0u);           // listed key the INI lacks
  EXPECT_EQ(image.Slot(6), 0xFFFFFFFFu);  // -1 as its 32-bit pattern
  EXPECT_TRUE(AllFF(image, 7));           // past the table, and the stale slot 100
  EXPECT_EQ(image.Data()[0], 5);          // little-endian
  EXPECT_EQ(image.Data()[8], 16);
}

TEST(DriverIniImage, HeaderOnlyTableAndOverlongTable) {
  const IniFile ini = Driver("A=1\r\n");
  DriverIniImage image;
  FillDriverIniImage(ini, "h0\nh1\n", image);
  EXPECT_TRUE(AllFF(image));
  FillDriverIniImage(ini, "A\n", image);  // shorter than its header
  EXPECT_TRUE(AllFF(image));
  std::string longTable = "h0\nh1\n";
  for (int i = 0; i < 5000; ++i) longTable += "A\n";
  FillDriverIniImage(ini, longTable, image);
  EXPECT_EQ(image.Slot(4095), 1u);  // the last slot; the lines beyond have no slot
}

TEST(DriverIniTexts, DefaultsCaretsAndPins) {
  ZV_Driver_INI driver;
  ReadDriverTexts(Driver("Type=NAND FLASH\r\nNOTE=first^second\r\nUCFPIN3=IO_CE\r\n"
                         "Close_ProgSelection=zz\r\n"),
                  driver);
  EXPECT_EQ(driver.Type, "NAND FLASH");
  EXPECT_EQ(driver.NOTE, "first\r\nsecond");
  EXPECT_EQ(driver.MenuFile, "NONE");
  EXPECT_EQ(driver.BRAND, "NONE");
  EXPECT_EQ(driver.UcfPin[2], "IO_CE");
  EXPECT_EQ(driver.UcfPin[0], " ");
  EXPECT_EQ(driver.Close_ProgSelection, 0);
  EXPECT_EQ(ConvertCaretLines("^a^^"), "\r\na\r\n\r\n");
}

TEST(DriverIniTexts, CopyDriverValuesTakesSlots0To207) {
  DriverIniImage image;
  for (std::size_t i = 0; i < 300; ++i) image.SetSlot(i, static_cast<std::uint32_t>(i * 3));
  ZV_Driver_INI driver;
  CopyDriverValues(image, driver);
  EXPECT_EQ(driver.Values[0], 0u);
  EXPECT_EQ(driver.Values[207], 621u);
  EXPECT_EQ(driver.Value(208), 0xFFFFFFFFu);
}

// Our order table must put the keys the program interprets at their slots.
TEST(OrderTable, InterpretedSlotsCarryTheirKeyNames) {
  std::ifstream in(std::string(ZV_RESOURCE_DIR) + "/INIOrder.tab", std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  ASSERT_GE(lines.size(), kOrderTableHeaderLines + kDriverValueSlots);
  for (const auto& [slot, key] : kDriverSlotKeys) {
    EXPECT_EQ(lines[slot + kOrderTableHeaderLines], key) << "slot " << slot;
  }
}

class LoadDriverIniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(base.Path() + "System");
    std::filesystem::copy_file(ZV_PLUS_MODULE, base.Path() + kPlusModulePath);
    base.Write("DataBase/INI/Alpha/AX25F.ini",
               "[ZV80ExternValue]\r\nBRAND=Alpha\r\nNAME=AX25F\r\nMainEndLow=0x7FFFF\r\n"
               "PinCount=8\r\nDataMask=0xFF\r\nMenuFile=AX25F.mnu\r\nNOTE=a^b\r\n");
    index = ParseDriverIndex(
        "h\nh\nAlpha\nAX25F\nserial\nDataBase\\INI\\Alpha\\AX25F.ini\n"
        "Alpha\nGONE\nserial\nDataBase\\INI\\Alpha\\GONE.ini\n");
  }
  DriverIniSources Sources() { return {base.Path(), temp.Path(), index, pack}; }

  TempFolder base;
  TempFolder temp;
  DriverIndex index;
  std::vector<std::string> reports;
  ResourcePack pack{base.Path(), [this](const std::string& text, const std::string&) {
                      reports.push_back(text);
                    }};
  ProjectRecords records;
};

TEST_F(LoadDriverIniTest, FillsTheImageAndAllEightSites) {
  ASSERT_TRUE(LoadDriverIni(Sources(), "ALPHA", "AX25F", records));
  EXPECT_EQ(records.DriverIniPath, base.Path() + "DataBase/INI/Alpha/AX25F.ini");
  EXPECT_EQ(records.DriverImage.Slot(DriverSlot::AreaEndLow(0)), 0x7FFFFu);
  EXPECT_EQ(records.DriverImage.Slot(DriverSlot::PinCount), 8u);
  EXPECT_EQ(records.DriverImage.Slot(DriverSlot::BlockOrganised), 0u);  // listed, absent
  EXPECT_EQ(records.DriverImage.Slot(120), 0xFFFFFFFFu);  // an empty line of our table
  for (const auto& site : records.DriverIni) {
    EXPECT_EQ(site.Value(DriverSlot::DataMask), 0xFFu);
    EXPECT_EQ(site.NAME, "AX25F");
    EXPECT_EQ(site.MenuFile, "AX25F.mnu");
    EXPECT_EQ(site.NOTE, "a\r\nb");
  }
  EXPECT_FALSE(std::filesystem::exists(temp.Path() + kOrderTableFile));  // deleted after use
  EXPECT_TRUE(reports.empty());
}

TEST_F(LoadDriverIniTest, FailsForUnknownPartsMissingFilesAndAMissingPack) {
  EXPECT_FALSE(LoadDriverIni(Sources(), "Alpha", "ax25f", records));
  EXPECT_FALSE(LoadDriverIni(Sources(), "Omega", "AX25F", records));
  EXPECT_FALSE(LoadDriverIni(Sources(), "Alpha", "GONE", records));
  EXPECT_EQ(records.DriverIniPath, base.Path() + "DataBase/INI/Alpha/GONE.ini");
  std::filesystem::remove(base.Path() + kPlusModulePath);
  ResourcePack missing(base.Path(), [this](const std::string& text, const std::string&) {
    reports.push_back(text);
  });
  EXPECT_FALSE(
      LoadDriverIni({base.Path(), temp.Path(), index, missing}, "Alpha", "AX25F", records));
  EXPECT_EQ(reports, std::vector<std::string>{"Plus.dll Does Not Exist!"});
}

}  // namespace
