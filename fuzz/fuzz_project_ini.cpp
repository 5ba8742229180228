// Project, recovery, hardware and driver INI texts through the INI layer and every reader of
// the project layer that takes them: keys, information text, hardware values, driver image.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "project/driver_ini.h"
#include "project/hardware_ini.h"
#include "project/project_info.h"
#include "project/project_keys.h"
#include "support/ini_file.h"

namespace {
// A short order table with keys a fuzzer can hit, and one of the table's header lines.
constexpr std::string_view kOrderTable = "; header\n; header\nA\n\nMainEndLow\nb\nMenuFile\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  IniFile ini;
  ini.LoadText(text);

  ProjectKeys keys;
  ReadProjectKeys(ini, keys);
  const std::string info = ProjectInfoTextOf("fuzz.zvprj", ini);
  if (info.rfind("Project Name: fuzz.zvprj", 0) != 0) __builtin_trap();
  (void)ProjectKeyInteger(keys.ICBlockStart);

  HardwareValues hardware;
  HardwareIniImage hardwareImage;
  ReadHardwareIni(ini, hardware, hardwareImage);

  DriverIniImage image;
  FillDriverIniImage(ini, kOrderTable, image);
  ZV_Driver_INI driver;
  ReadDriverTexts(ini, driver);

  return 0;
}
