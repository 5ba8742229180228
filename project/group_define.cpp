#include "project/group_define.h"

#include <fstream>
#include <iterator>

#include "support/named_lock.h"

namespace {
std::uint32_t LittleEndian32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void PutLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}
}  // namespace

std::vector<GroupDefineEntry> DecodeGroupDefine(std::span<const std::uint8_t> bytes) {
  std::vector<GroupDefineEntry> entries;
  const std::size_t count = bytes.size() / kGroupDefineRecordSize;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* record = bytes.data() + i * kGroupDefineRecordSize;
    entries.push_back({LittleEndian32(record), LittleEndian32(record + 4),
                       LittleEndian32(record + 8), LittleEndian32(record + 12)});
  }
  return entries;
}

std::vector<std::uint8_t> EncodeGroupDefine(const std::vector<GroupDefineEntry>& entries) {
  std::vector<std::uint8_t> out;
  out.reserve(entries.size() * kGroupDefineRecordSize);
  for (const GroupDefineEntry& entry : entries) {
    PutLittleEndian32(out, entry.Parameter);
    PutLittleEndian32(out, entry.Start);
    PutLittleEndian32(out, entry.End);
    PutLittleEndian32(out, entry.Size);
  }
  return out;
}

std::vector<GroupDefineEntry> ReadGroupDefineFile(const std::string& path, NamedLock& lock) {
  std::vector<std::uint8_t> bytes;
  {
    NamedLockGuard guard(lock);
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  return DecodeGroupDefine(bytes);
}

std::string GroupDefineLine(std::size_t index, const GroupDefineEntry& entry) {
  return "[#" + std::to_string(index) + "] " + "Start = " + std::to_string(entry.Start) + ", " +
         "End = " + std::to_string(entry.End) + ", " + "Size = " + std::to_string(entry.Size) +
         ", " + "Parameter = " + std::to_string(entry.Parameter);
}
