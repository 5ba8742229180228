// The group-define table read by site workers while the project side replaces the file and
// the table: readers see one whole version or the other, never a mix.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "project/group_define.h"
#include "tests/project/project_fixture.h"

namespace {
std::vector<GroupDefineEntry> Table(std::uint32_t count, std::uint32_t tag) {
  std::vector<GroupDefineEntry> entries;
  for (std::uint32_t i = 0; i < count; ++i) entries.push_back({tag, i, i + 1, 1});
  return entries;
}

// Rewrites the file under the lock, as a load places a new "GrpDef.def".
void WriteUnderLock(NamedLock& lock, const std::string& path,
                    const std::vector<GroupDefineEntry>& entries) {
  NamedLockGuard guard(lock);
  const std::vector<std::uint8_t> bytes = EncodeGroupDefine(entries);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

bool OneVersion(const std::vector<GroupDefineEntry>& table) {
  if (table.size() != 2 && table.size() != 300) return false;
  for (const GroupDefineEntry& entry : table) {
    if (entry.Parameter != table.size()) return false;
  }
  return true;
}
}  // namespace

TEST(GroupDefineThreads, WorkersSeeWholeFilesAndWholeTables) {
  ProjectSystem sys;
  const std::string path = sys.Temp("GrpDef.def");
  WriteUnderLock(sys.groupLock, path, Table(2, 2));
  sys.project->ReadGroupDefine(path);

  std::atomic<bool> stop{false};
  std::atomic<int> mixed{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&] {
      while (!stop.load()) {
        if (!OneVersion(ReadGroupDefineFile(path, sys.groupLock))) ++mixed;
        if (!OneVersion(sys.project->GroupDefine())) ++mixed;
      }
    });
  }
  for (int round = 0; round < 200; ++round) {
    const bool large = round % 2 == 0;
    WriteUnderLock(sys.groupLock, path, large ? Table(300, 300) : Table(2, 2));
    sys.project->ReadGroupDefine(path);
  }
  stop = true;
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(mixed.load(), 0);
}
