#include "project/database_path.h"

#include <filesystem>

#include "support/ini_file.h"

namespace fs = std::filesystem;

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

std::optional<std::string> FindInFolder(const std::string& folder, const std::string& name) {
  if (!IsPlainFileName(name)) return std::nullopt;
  std::error_code error;
  const fs::path exact = fs::path(folder) / name;
  if (fs::exists(exact, error)) return exact.string();
  fs::directory_iterator it(folder, error);
  if (error) return std::nullopt;
  for (const fs::directory_iterator end; it != end; it.increment(error)) {
    if (error) return std::nullopt;
    if (IniNamesEqual(it->path().filename().string(), name)) return it->path().string();
  }
  return std::nullopt;
}

std::string DatabaseFile(const std::string& folder, const std::string& name) {
  if (!IsPlainFileName(name)) return folder;
  return FindInFolder(folder, name).value_or(folder + "/" + name);
}
