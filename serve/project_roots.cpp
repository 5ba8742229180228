#include "serve/project_roots.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {
bool HasParentStep(const fs::path& path) {
  return std::any_of(path.begin(), path.end(), [](const fs::path& part) { return part == ".."; });
}

bool IsBelow(const fs::path& path, const fs::path& root) {
  auto [rootEnd, pathAt] = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return rootEnd == root.end() && pathAt != path.end();
}

// Every link resolved; for a path that does not exist, as far as it exists.
fs::path Resolved(const fs::path& path) {
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(path, error);
  return error ? fs::path() : resolved;
}

bool InsideARoot(const std::vector<std::string>& roots, const fs::path& resolved) {
  return std::any_of(roots.begin(), roots.end(), [&](const std::string& root) {
    const fs::path resolvedRoot = Resolved(root);
    return !resolvedRoot.empty() && IsBelow(resolved, resolvedRoot);
  });
}
}  // namespace

ProjectPath CheckProjectPath(const std::vector<std::string>& roots, const std::string& requested) {
  ProjectPath result;
  fs::path path(requested);
  if (requested.empty() || roots.empty() || HasParentStep(path)) return result;
  if (path.is_relative()) path = fs::path(roots.front()) / path;
  const fs::path resolved = Resolved(path);
  if (resolved.empty() || !InsideARoot(roots, resolved)) return result;
  std::error_code error;
  if (!fs::is_regular_file(resolved, error)) {
    result.status = ProjectPath::Status::Missing;
    return result;
  }
  result.status = ProjectPath::Status::Inside;
  result.path = resolved.string();
  return result;
}
