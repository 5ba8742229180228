#pragma once
// The driver index "Select.SEL": after two header lines, groups of four lines per driver
// (manufacturer, part name, an unused line, the driver INI path relative to BaseDir), held
// as four parallel lists. A file that ends inside a group keeps only its whole groups.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class LogSink;

inline constexpr char kSelectListPath[] = "DataBase/Update/Select.SEL";  // below BaseDir

struct DriverIndex {
  std::vector<std::string> Manufacturers;  // list 0
  std::vector<std::string> PartNames;      // list 1
  std::vector<std::string> ThirdLines;     // list 2, kept but not interpreted
  std::vector<std::string> IniPaths;       // list 3, "\" already mapped to "/"

  std::size_t Count() const { return Manufacturers.size(); }
  void Clear();
  // First entry whose manufacturer equals `manufacturer` ignoring letter case; from there
  // to the end of the index, the first entry whose part name equals `partNumber` exactly.
  std::optional<std::size_t> Find(std::string_view manufacturer, std::string_view partNumber) const;
};

// Splits text into lines (LF, CR LF or CR) and distributes lines 2, 3, 4, 5 + 4k.
DriverIndex ParseDriverIndex(std::string_view text);

// Start-up load from baseDir + kSelectListPath. Missing or unreadable: logs
// "Open Select.SEL Fail!" (red), leaves `index` empty and returns false.
bool LoadSelectList(const std::string& baseDir, DriverIndex& index, LogSink& log);
