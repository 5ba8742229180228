// The driver index "Select.SEL": parsing any text and looking parts up in it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "project/driver_index.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const DriverIndex index = ParseDriverIndex(text);
  const std::size_t count = index.Count();
  if (index.PartNames.size() != count || index.ThirdLines.size() != count ||
      index.IniPaths.size() != count) {
    __builtin_trap();
  }
  if (count > 0) {
    // Every entry is found by its own names, at or before its own position.
    const std::size_t last = count - 1;
    const auto found = index.Find(index.Manufacturers[last], index.PartNames[last]);
    if (!found || *found > last) __builtin_trap();
  }
  (void)index.Find("zanvo", "part");
  return 0;
}
