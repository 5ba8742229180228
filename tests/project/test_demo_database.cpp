// The demo database as the program reads it: index, driver INIs through the real order table,
// menu files, and the firmware archive with its image trailer.
#include <gtest/gtest.h>

#include <filesystem>

#include "log/core/log_sink.h"
#include "project/driver_index.h"
#include "project/driver_slots.h"
#include "project/hardware_ini.h"
#include "project/project_records.h"
#include "support/archiver.h"
#include "support/checksums.h"
#include "support/ini_file.h"
#include "support/resource_pack.h"
#include "tests/support/temp_folder.h"
#include "tools/make_demo_db/demo_database.h"
#include "tools/make_demo_db/demo_parts.h"

namespace {

class NoLog : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t, std::uint8_t, std::uint8_t) override {
    ADD_FAILURE() << "unexpected log line " << text;
  }
};

std::uint32_t LE32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

class DemoDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(MakeDemoDatabase(archiver, base.Path(), error)) << error;
    std::filesystem::copy_file(ZV_PLUS_MODULE, base.Path() + kPlusModulePath);
  }
  Archiver archiver;
  TempFolder base;
  TempFolder temp;
};

TEST_F(DemoDatabaseTest, EveryPartLoadsThroughTheIndexAndOrderTable) {
  NoLog log;
  DriverIndex index;
  ASSERT_TRUE(LoadSelectList(base.Path(), index, log));
  ASSERT_EQ(index.Count(), kDemoPartCount);
  ResourcePack pack(base.Path(),
                    [](const std::string& text, const std::string&) { ADD_FAILURE() << text; });
  for (const DemoPart& part : kDemoParts) {
    ProjectRecords records;
    ASSERT_TRUE(LoadDriverIni({base.Path(), temp.Path(), index, pack}, part.Manufacturer,
                              part.PartName, records))
        << part.PartName;
    const ZV_Driver_INI& driver = records.DriverIni[3];
    EXPECT_EQ(driver.Type, part.Type);
    EXPECT_EQ(driver.Value(DriverSlot::BlockOrganised), part.Nand ? 1u : 0u);
    EXPECT_EQ(driver.Value(DriverSlot::PinCount), part.PinCount);
    EXPECT_EQ(driver.Value(DriverSlot::DataMask), part.DataMask);
    EXPECT_EQ(AreaLength(driver, 0), part.Areas[0].End - part.Areas[0].Start + 1);
    EXPECT_TRUE(std::filesystem::exists(base.Path() + "DataBase/Driver/" + driver.UserWav));
    EXPECT_LE(std::filesystem::file_size(base.Path() + "DataBase/FPGA/" + driver.FPGAFile),
              0x24C00u);
    if (driver.MenuFile != "NONE") {
      IniFile menu;
      ASSERT_TRUE(menu.Load(base.Path() + "DataBase/Menu/" + driver.MenuFile));
      EXPECT_EQ(menu.ReadString("CurrentUserPage", "Date", "0"), kDemoMenuDate);
      EXPECT_GT(menu.ReadInteger("CurrentUserPage", "Total", 0), 0);
    }
    if (part.Nand) {
      EXPECT_EQ(driver.Value(DriverSlot::TotalBlocks), part.TotalBlocks);
      EXPECT_EQ(driver.Value(DriverSlot::BlockLength), part.BlockLength);
    }
  }
}

TEST_F(DemoDatabaseTest, FirmwareArchiveHoldsAValidImage) {
  ExtractRequest request{base.Path() + "DataBase/Update/Data.dat",
                         temp.Path(),
                         {"BIOS.BIN", "BIOSInfo.ini"},
                         ArchivePassword::Firmware};
  request.Recurse = true;
  ASSERT_TRUE(archiver.Extract(request).Ok());
  const std::string image = temp.Read("BIOS.BIN");
  ASSERT_EQ(image.size(), 0x80000u);
  EXPECT_EQ(image[0x7FFF4], 2);
  EXPECT_EQ(image[0x7FFF5], '.');
  EXPECT_EQ(image[0x7FFF6], 5);
  EXPECT_EQ(image[0x7FFF7], 0);
  const std::uint32_t covered = LE32(image, 0x7FFF8);
  EXPECT_LE(covered, 0x7FC00u);
  EXPECT_EQ(LE32(image, 0x7FFFC), Crc32(image.data(), covered));
  IniFile info;
  ASSERT_TRUE(info.Load(temp.Path() + "BIOSInfo.ini"));
  EXPECT_EQ(info.ReadString("BIOSInfo", "BIOSSupportOldMultipleUIVer", "0"), kDemoBiosSupportOldUi);

  request.Password = ArchivePassword::Project;
  request.OutDir = temp.Path() + "wrong";
  EXPECT_EQ(archiver.Extract(request).Status, ArchiveStatus::WrongPassword);
}

TEST_F(DemoDatabaseTest, HardwareIniAndBrokenTrailers) {
  IniFile ini;
  ASSERT_TRUE(ini.Load(base.Path() + kHardwareIniPath));
  HardwareValues values;
  values.VDD_Max = 0;
  HardwareIniImage image;
  ReadHardwareIni(ini, values, image);
  EXPECT_EQ(values.VDD_Max, 700);
  EXPECT_EQ(image.Slot(7), 1600u);

  const std::vector<std::uint8_t> tooLong = MakeDemoFirmwareImage("1.2A", 0x7FC01);
  ASSERT_EQ(tooLong.size(), 0x80000u);
  EXPECT_EQ(tooLong[0x7FFF7], 'A');
  EXPECT_EQ(tooLong[0x7FFF8] | tooLong[0x7FFF9] << 8 | tooLong[0x7FFFA] << 16, 0x7FC01);
}

}  // namespace
