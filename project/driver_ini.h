#pragma once
// The driver INI model: the driver image built through the order table, and the per-site
// driver record `ZV_Driver_INI` (slot values, named texts, pin names).
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "project/slot_image.h"

class IniFile;
class ResourcePack;
struct DriverIndex;
struct ProjectRecords;

inline constexpr std::size_t kDriverValueSlots = 208;  // slots copied into ZV_Driver_INI
inline constexpr std::size_t kUcfPinCount = 56;
inline constexpr char kDriverSection[] = "ZV80ExternValue";
inline constexpr char kOrderTableFile[] = "INIOrder.tab";
inline constexpr std::size_t kOrderTableHeaderLines = 2;
inline constexpr char kNotSet[] = "NONE";  // default of the driver texts

struct ZV_Driver_INI {
  std::array<std::uint32_t, kDriverValueSlots> Values{};  // slots 0..207 of DriverIniImage
  std::string IniVersion = kNotSet;
  std::string BRAND = kNotSet;
  std::string NAME = kNotSet;
  std::string UserWav = kNotSet;   // driver file below "DataBase/Driver/"
  std::string FPGAFile = kNotSet;  // FPGA image below "DataBase/FPGA/"
  std::string ICSIZE = kNotSet;
  std::string Type = kNotSet;  // "NAND FLASH" makes a passed run read the bad block table
  std::string NOTE = kNotSet;  // "^" already turned into "\r\n"
  std::string Date = kNotSet;
  std::string MenuFile = kNotSet;                // below "DataBase/Menu/", or "NONE"
  std::array<std::string, kUcfPinCount> UcfPin;  // keys "UCFPIN1" .. "UCFPIN56", default " "
  std::int32_t Close_ProgSelection = 0;

  ZV_Driver_INI() { UcfPin.fill(" "); }
  std::uint32_t Value(std::size_t slot) const {
    return slot < kDriverValueSlots ? Values[slot] : 0xFFFFFFFFu;
  }
};

// Every "^" replaced by "\r\n".
std::string ConvertCaretLines(std::string_view text);

// Presets the image and sets slot j to the integer of the key on line j + 2 of `orderTable`
// (section ZV80ExternValue, default 0 for absent keys and values that are no integer).
// Empty lines and slots past the table stay 0xFFFFFFFF; lines past slot 4095 are ignored.
void FillDriverIniImage(const IniFile& ini, std::string_view orderTable, DriverIniImage& image);

// Slots 0..207 of `source` into `dest.Values`.
void CopyDriverValues(const SlotImage& source, ZV_Driver_INI& dest);

// Reads the texts, pin names and Close_ProgSelection of `ini` into `dest` (values untouched).
void ReadDriverTexts(const IniFile& ini, ZV_Driver_INI& dest);

// Where LoadDriverIni finds its inputs.
struct DriverIniSources {
  const std::string& BaseDir;
  const std::string& TempDir;
  const DriverIndex& Index;
  ResourcePack& Pack;  // supplies "INIOrder.tab"
};

// Finds the part in the index, reads its driver INI through the order table into
// records.DriverImage and all eight records.DriverIni; records.DriverIniPath keeps the
// path. False when the part is not in the index, its file is missing, or the order table
// cannot be had; what was filled before the failure stays.
bool LoadDriverIni(const DriverIniSources& sources, std::string_view manufacturer,
                   std::string_view partNumber, ProjectRecords& records);
