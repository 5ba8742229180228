// "GrpDef.def": any bytes decode to whole records only, and the records encode back to the
// file's whole-record prefix.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "project/group_define.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto entries = DecodeGroupDefine(std::span<const std::uint8_t>(data, size));
  if (entries.size() != size / kGroupDefineRecordSize) __builtin_trap();
  const auto bytes = EncodeGroupDefine(entries);
  if (bytes.size() != entries.size() * kGroupDefineRecordSize) __builtin_trap();
  if (!bytes.empty() && std::memcmp(bytes.data(), data, bytes.size()) != 0) __builtin_trap();
  for (std::size_t i = 0; i < entries.size() && i < 4; ++i) (void)GroupDefineLine(i, entries[i]);
  return 0;
}
