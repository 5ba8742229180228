#pragma once
// The project history of the project window: "History/Reload/ProjectList.his" below the base
// folder, a text file of one line each: the header "Project Path", then at most 20 full paths
// of project files, the most recently added first.
#include <cstddef>
#include <string>
#include <vector>

inline constexpr const char* kProjectHistoryFile = "History/Reload/ProjectList.his";
inline constexpr const char* kProjectHistoryHeader = "Project Path";
inline constexpr std::size_t kProjectHistoryMax = 20;

struct ProjectHistory {
  std::vector<std::string> Paths;  // newest first, never more than kProjectHistoryMax

  // The list of the file; a missing, unreadable or garbled file gives an empty list. Only the
  // first lines are read: a huge file costs no more than a full list.
  static ProjectHistory Read(const std::string& file);
  // Writes the header and the paths (CR LF line ends); false when the file cannot be written.
  bool Write(const std::string& file) const;

  // The index of `path` (letter case ignored), or -1.
  int Find(const std::string& path) const;
  // Puts `path` first; the oldest entry goes when the list would grow past its limit.
  void AddFirst(const std::string& path);
  // Removes the entry at `index` (nothing outside the list).
  void Remove(std::size_t index);
  // Drops every entry whose file no longer exists; true when one was dropped.
  bool DropMissing();
};
