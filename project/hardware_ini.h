#pragma once
// The programmer hardware's limits from System/Hardware.ini, section "Hardware", and the
// 16 KiB image sent to the units (the ten values in slots 0 to 9).
#include <array>
#include <cstdint>

#include "project/slot_image.h"

class IniFile;

inline constexpr char kHardwareIniPath[] = "System/Hardware.ini";  // below BaseDir
inline constexpr char kHardwareSection[] = "Hardware";

struct HardwareValues {
  std::int32_t VDD_Offset = 20;
  std::int32_t VIO_Offset = 20;
  std::int32_t VPP_Offset = 20;
  std::int32_t VHH_Offset = 20;
  std::int32_t VDD_Max = 700;
  std::int32_t VIO_Max = 650;
  std::int32_t VPP_Max = 1600;
  std::int32_t VHH_Max = 1600;
  std::int32_t BurnInTest_LoopCount = 1;
  std::int32_t BurnInTest_ErrorCount = 1;

  // The ten values in file and slot order.
  std::array<std::int32_t, 10> InOrder() const;
};

struct HardwareKey {
  const char* Name;
  std::int32_t Default;
};
// Key names and defaults in slot order.
extern const std::array<HardwareKey, 10> kHardwareKeys;

// Reads the ten values (a value that is no integer reads as its default) into `values` and
// copies them into slots 0 to 9 of `image`. The caller checks that the file exists and
// presets the image.
void ReadHardwareIni(const IniFile& ini, HardwareValues& values, HardwareIniImage& image);
