#include "project/hardware_ini.h"

#include "support/ini_file.h"

const std::array<HardwareKey, 10> kHardwareKeys = {{
    {"VDD_Offset", 20},
    {"VIO_Offset", 20},
    {"VPP_Offset", 20},
    {"VHH_Offset", 20},
    {"VDD_Max", 700},
    {"VIO_Max", 650},
    {"VPP_Max", 1600},
    {"VHH_Max", 1600},
    {"BurnInTest_LoopCount", 1},
    {"BurnInTest_ErrorCount", 1},
}};

std::array<std::int32_t, 10> HardwareValues::InOrder() const {
  return {VDD_Offset, VIO_Offset, VPP_Offset, VHH_Offset,           VDD_Max,
          VIO_Max,    VPP_Max,    VHH_Max,    BurnInTest_LoopCount, BurnInTest_ErrorCount};
}

void ReadHardwareIni(const IniFile& ini, HardwareValues& values, HardwareIniImage& image) {
  std::array<std::int32_t, 10> read{};
  for (std::size_t i = 0; i < kHardwareKeys.size(); ++i) {
    read[i] = ini.ReadInteger(kHardwareSection, kHardwareKeys[i].Name, kHardwareKeys[i].Default);
    image.SetSlot(i, static_cast<std::uint32_t>(read[i]));
  }
  values.VDD_Offset = read[0];
  values.VIO_Offset = read[1];
  values.VPP_Offset = read[2];
  values.VHH_Offset = read[3];
  values.VDD_Max = read[4];
  values.VIO_Max = read[5];
  values.VPP_Max = read[6];
  values.VHH_Max = read[7];
  values.BurnInTest_LoopCount = read[8];
  values.BurnInTest_ErrorCount = read[9];
}
