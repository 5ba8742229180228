#include "project/driver_index.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "log/core/log_sink.h"
#include "support/ini_file.h"

namespace {

constexpr std::size_t kHeaderLines = 2;
constexpr std::size_t kLinesPerEntry = 4;

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

}  // namespace

void DriverIndex::Clear() {
  Manufacturers.clear();
  PartNames.clear();
  ThirdLines.clear();
  IniPaths.clear();
}

std::optional<std::size_t> DriverIndex::Find(std::string_view manufacturer,
                                             std::string_view partNumber) const {
  const auto first = std::find_if(Manufacturers.begin(), Manufacturers.end(),
                                  [&](const auto& m) { return IniNamesEqual(m, manufacturer); });
  if (first == Manufacturers.end()) return std::nullopt;
  // The search runs on past the manufacturer's own group, to the end of the index.
  for (auto i = static_cast<std::size_t>(first - Manufacturers.begin()); i < PartNames.size();
       ++i) {
    if (PartNames[i] == partNumber) return i;
  }
  return std::nullopt;
}

DriverIndex ParseDriverIndex(std::string_view text) {
  const std::vector<std::string> lines = SplitLines(text);
  DriverIndex index;
  for (std::size_t at = kHeaderLines; at + kLinesPerEntry <= lines.size(); at += kLinesPerEntry) {
    index.Manufacturers.push_back(lines[at]);
    index.PartNames.push_back(lines[at + 1]);
    index.ThirdLines.push_back(lines[at + 2]);
    std::string path = lines[at + 3];
    std::replace(path.begin(), path.end(), '\\', '/');
    index.IniPaths.push_back(std::move(path));
  }
  return index;
}

bool LoadSelectList(const std::string& baseDir, DriverIndex& index, LogSink& log) {
  index.Clear();
  const std::string path = baseDir + kSelectListPath;
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(path, ec)) in.open(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in.is_open() || in.bad()) {
    log.Write("Open Select.SEL Fail!", LogColour::Red);
    return false;
  }
  index = ParseDriverIndex(text.str());
  return true;
}
