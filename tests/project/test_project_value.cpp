// Project values, site process plans (64-bit area lengths) and the hardware image.
#include <gtest/gtest.h>

#include "project/driver_slots.h"
#include "project/hardware_ini.h"
#include "project/project_records.h"
#include "support/ini_file.h"

namespace {

void SetArea(ZV_Driver_INI& driver, std::size_t area, std::uint64_t start, std::uint64_t end) {
  driver.Values[DriverSlot::AreaStartHigh(area)] = static_cast<std::uint32_t>(start >> 32);
  driver.Values[DriverSlot::AreaStartLow(area)] = static_cast<std::uint32_t>(start);
  driver.Values[DriverSlot::AreaEndHigh(area)] = static_cast<std::uint32_t>(end >> 32);
  driver.Values[DriverSlot::AreaEndLow(area)] = static_cast<std::uint32_t>(end);
}

TEST(AreaLength, CarriesAndBorrowsAcrossTheTwoWords) {
  ZV_Driver_INI driver;
  SetArea(driver, 0, 0x1000, 0x1'00000FFFull);
  EXPECT_EQ(AreaLength(driver, 0), 0x1'00000000ull);
  SetArea(driver, 1, 0xFFFFFFFFull, 0x1'00000000ull);  // borrow from the high word
  EXPECT_EQ(AreaLength(driver, 1), 2u);
  SetArea(driver, 2, 0x5000, 0);  // end 0: no area, whatever its start
  EXPECT_EQ(AreaLength(driver, 2), 0u);
  SetArea(driver, 3, 0, 0xFFFFFFFF'FFFFFFFEull);
  EXPECT_EQ(AreaLength(driver, 3), 0xFFFFFFFF'FFFFFFFFull);
  SetArea(driver, 3, 0x2000, 0x1000);  // end below start: a broken entry, no length
  EXPECT_EQ(AreaLength(driver, 3), 0u);
  EXPECT_EQ(AreaLength(driver, 4), 0u);
}

TEST(SiteProcessPlan, LengthsCodesAndSocketCount) {
  ProjectRecords records;
  SetArea(records.DriverIni[5], 0, 0, 0x7FFFF);
  SetArea(records.DriverIni[5], 1, 0x80000, 0x8FFFF);
  SetArea(records.DriverIni[5], 2, 0, 0);
  SetArea(records.DriverIni[5], 3, 0x1'00000000ull, 0x1'000000FFull);
  S_ProjectValue value;
  value.Textool = {1, 0, 1, 1};
  value.MemArea = {1, 0, 0, 1};
  value.Manufacturer = "Alpha";
  FillProjectValues(value, records);
  EXPECT_EQ(records.ProjectValue[7].Manufacturer, "Alpha");
  BuildSiteProcessPlan(records, 5);
  BuildSiteProcessPlan(records, 8);  // no such site: ignored
  const SiteProcessPlan& plan = records.ProcessPlan[5];
  EXPECT_EQ(plan.MainLength, 0x80000u);
  EXPECT_EQ(plan.ExtLength, 0x10000u + 0x100u);
  EXPECT_EQ(plan.Ext3Length, 0x100u);
  EXPECT_EQ(plan.AreaCode, (std::array<std::uint8_t, 4>{0xA0, 0xA3, 0xA3, 0xA0}));
  EXPECT_EQ(plan.SocketCount, 3);
  EXPECT_EQ(plan.SocketCode, (std::array<std::uint8_t, 4>{0xA0, 0xA3, 0xA0, 0xA0}));
  EXPECT_EQ(plan.RunField, (std::array<std::uint8_t, 4>{0xA5, 0xA5, 0xA5, 0xA5}));
}

TEST(HardwareIni, ValuesDefaultsAndTheImage) {
  IniFile ini;
  ini.LoadText(
      "[hardware]\r\nVDD_Offset=25\r\nVIO_Max=abc\r\nVPP_Max=-3\r\n"
      "BurnInTest_ErrorCount=99999999999\r\n");
  HardwareValues values;
  HardwareIniImage image;
  image.SetSlot(10, 77);  // the caller presets; slots past the ten are not touched
  ReadHardwareIni(ini, values, image);
  EXPECT_EQ(values.VDD_Offset, 25);
  EXPECT_EQ(values.VIO_Max, 650);
  EXPECT_EQ(values.VPP_Max, -3);
  EXPECT_EQ(values.BurnInTest_ErrorCount, 1);
  const std::array<std::uint32_t, 10> expected = {25,  20,          20,   20, 700,
                                                  650, 0xFFFFFFFDu, 1600, 1,  1};
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(image.Slot(i), expected[i]) << i;
  EXPECT_EQ(image.Slot(10), 77u);
  EXPECT_EQ(image.Slot(11), 0xFFFFFFFFu);
  EXPECT_EQ(values.InOrder()[6], -3);
}

}  // namespace
