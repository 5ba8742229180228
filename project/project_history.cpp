#include "project/project_history.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "support/ini_file.h"

namespace {
// A line longer than any path is no path; cutting it keeps a garbled file cheap.
constexpr std::size_t kMaxLineBytes = 4096;

bool IsRegularFile(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_regular_file(path, error);
}

// One line without its CR, at most kMaxLineBytes of it; false at the end of the file.
bool ReadLine(std::istream& in, std::string& line) {
  line.clear();
  char c = 0;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kMaxLineBytes) line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

// Text with control characters (a NUL, a binary file) is not a path of ours.
bool LooksLikePath(const std::string& line) {
  if (line.empty() || line.size() >= kMaxLineBytes) return false;
  return std::none_of(line.begin(), line.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}
}  // namespace

ProjectHistory ProjectHistory::Read(const std::string& file) {
  ProjectHistory history;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!in || !ReadLine(in, line)) return history;  // line 0 is the header, whatever it says
  while (history.Paths.size() < kProjectHistoryMax && ReadLine(in, line)) {
    if (LooksLikePath(line)) history.Paths.push_back(line);
  }
  return history;
}

bool ProjectHistory::Write(const std::string& file) const {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << kProjectHistoryHeader << "\r\n";
  for (const std::string& path : Paths) out << path << "\r\n";
  out.flush();
  return static_cast<bool>(out);
}

int ProjectHistory::Find(const std::string& path) const {
  for (std::size_t i = 0; i < Paths.size(); ++i) {
    if (IniNamesEqual(Paths[i], path)) return static_cast<int>(i);
  }
  return -1;
}

void ProjectHistory::AddFirst(const std::string& path) {
  if (Paths.size() >= kProjectHistoryMax) Paths.resize(kProjectHistoryMax - 1);
  Paths.insert(Paths.begin(), path);
}

void ProjectHistory::Remove(std::size_t index) {
  if (index < Paths.size()) Paths.erase(Paths.begin() + static_cast<std::ptrdiff_t>(index));
}

bool ProjectHistory::DropMissing() {
  const std::size_t before = Paths.size();
  std::erase_if(Paths, [](const std::string& path) { return !IsRegularFile(path); });
  return Paths.size() != before;
}
