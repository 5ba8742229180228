#pragma once
// Which project files a client may have loaded: only those inside the project folders (the
// base folder's "Projects" and each folder given with --project-root). A path with ".." or one
// whose symbolic links lead out of every project folder is refused, whether or not it exists,
// so the answer tells nothing about files elsewhere.
#include <string>
#include <vector>

struct ProjectPath {
  enum class Status { Inside, Outside, Missing };
  Status status = Status::Outside;
  std::string path;  // the resolved file, when Inside
};

// A relative path is taken below the first root.
ProjectPath CheckProjectPath(const std::vector<std::string>& roots, const std::string& requested);
