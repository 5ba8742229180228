#include "project/driver_ini.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/driver_index.h"
#include "project/project_records.h"
#include "support/ini_file.h"
#include "support/resource_pack.h"

namespace {

constexpr char kPinKeyPrefix[] = "UCFPIN";
constexpr char kPinDefault[] = " ";

// The next line of `text` (LF, CR LF or CR), advancing `pos`; false at the end.
bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  std::size_t end = pos;
  while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
  line = text.substr(pos, end - pos);
  if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
    ++end;
  }
  pos = end + 1;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream text;
  text << in.rdbuf();
  out = text.str();
  return !in.bad();
}

}  // namespace

std::string ConvertCaretLines(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '^') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

void FillDriverIniImage(const IniFile& ini, std::string_view orderTable, DriverIniImage& image) {
  image.Preset();
  std::size_t pos = 0;
  std::string_view line;
  for (std::size_t n = 0; NextLine(orderTable, pos, line); ++n) {
    if (n < kOrderTableHeaderLines) continue;
    const std::size_t slot = n - kOrderTableHeaderLines;
    if (slot >= kSlotImageSlots) break;
    const std::string_view key = TrimIniBlanks(line);
    if (key.empty()) continue;
    image.SetSlot(slot, ini.ReadUInt32(kDriverSection, key).value_or(0));
  }
}

void CopyDriverValues(const SlotImage& source, ZV_Driver_INI& dest) {
  for (std::size_t i = 0; i < kDriverValueSlots; ++i) dest.Values[i] = source.Slot(i);
}

void ReadDriverTexts(const IniFile& ini, ZV_Driver_INI& dest) {
  auto text = [&](const char* key) { return ini.ReadString(kDriverSection, key, kNotSet); };
  dest.IniVersion = text("IniVersion");
  dest.BRAND = text("BRAND");
  dest.NAME = text("NAME");
  dest.UserWav = text("UserWav");
  dest.FPGAFile = text("FPGAFile");
  dest.ICSIZE = text("ICSIZE");
  dest.Type = text("Type");
  dest.NOTE = ConvertCaretLines(text("NOTE"));
  dest.Date = text("Date");
  dest.MenuFile = text("MenuFile");
  for (std::size_t i = 0; i < kUcfPinCount; ++i) {
    const std::string key = kPinKeyPrefix + std::to_string(i + 1);
    dest.UcfPin[i] = ini.ReadString(kDriverSection, key, kPinDefault);
  }
  dest.Close_ProgSelection = ini.ReadInteger(kDriverSection, "Close_ProgSelection", 0);
}

bool LoadDriverIni(const DriverIniSources& sources, std::string_view manufacturer,
                   std::string_view partNumber, ProjectRecords& records) {
  const auto entry = sources.Index.Find(manufacturer, partNumber);
  if (!entry || *entry >= sources.Index.IniPaths.size()) return false;
  records.DriverIniPath = sources.BaseDir + sources.Index.IniPaths[*entry];
  std::error_code ec;
  if (!std::filesystem::is_regular_file(records.DriverIniPath, ec)) return false;

  IniFile ini;
  if (!ini.Load(records.DriverIniPath)) return false;
  std::string orderTable;
  {
    // The table lives in the temp folder only while it is read.
    RC_Plus table(sources.Pack, sources.TempDir, kOrderTableFile);
    records.DriverImage.Preset();
    if (!table.Ok() || !ReadWholeFile(table.Path(), orderTable)) return false;
  }
  FillDriverIniImage(ini, orderTable, records.DriverImage);

  ZV_Driver_INI& first = records.DriverIni[0];
  CopyDriverValues(records.DriverImage, first);
  ReadDriverTexts(ini, first);
  for (std::size_t site = 1; site < records.DriverIni.size(); ++site) {
    records.DriverIni[site] = first;
  }
  return true;
}
