#pragma once
// The group-define table: a project's optional list of data pieces, each four unsigned
// 32-bit little-endian values (Parameter, Start, End, Size) in a 16-byte record.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class NamedLock;

struct GroupDefineEntry {
  std::uint32_t Parameter = 0;
  std::uint32_t Start = 0;
  std::uint32_t End = 0;
  std::uint32_t Size = 0;
  bool operator==(const GroupDefineEntry&) const = default;
};

inline constexpr std::size_t kGroupDefineRecordSize = 16;
inline constexpr const char* kGroupDefineFileName = "GrpDef.def";

// Decodes whole records only; a trailing partial record is ignored.
std::vector<GroupDefineEntry> DecodeGroupDefine(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> EncodeGroupDefine(const std::vector<GroupDefineEntry>& entries);

// Reads the file under the "GroupDefineHandleThread" lock, which the runs take to read the
// same file. A missing or unreadable file gives an empty table.
std::vector<GroupDefineEntry> ReadGroupDefineFile(const std::string& path, NamedLock& lock);

// One log line of the loaded table: "[#0] Start = .., End = .., Size = .., Parameter = ..".
std::string GroupDefineLine(std::size_t index, const GroupDefineEntry& entry);
