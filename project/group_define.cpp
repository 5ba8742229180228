#include "project/group_define.h"

#include <fstream>
#include <iterator>

#include "support/byte_order.h"
#include "support/named_lock.h"

namespace {
void PutLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t bytes[4];
  PutLe32(bytes, value);
  out.insert(out.end(), bytes, bytes + 4);
}
}  // namespace

std::vector<GroupDefineEntry> DecodeGroupDefine(std::span<const std::uint8_t> bytes) {
  std::vector<GroupDefineEntry> entries;
  const std::size_t count = bytes.size() / kGroupDefineRecordSize;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* record = bytes.data() + i * kGroupDefineRecordSize;
    entries.push_back(
        {GetLe32(record), GetLe32(record + 4), GetLe32(record + 8), GetLe32(record + 12)});
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
