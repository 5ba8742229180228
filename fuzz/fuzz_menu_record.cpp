// The menu record build: a menu file and a values file, split at the first NUL byte of the
// input. The packer must never write past the record and must stop on every input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "project/menu_file.h"
#include "project/menu_record.h"
#include "support/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\0');
  const std::string_view menuText = input.substr(0, split);
  const std::string_view values =
      split == std::string_view::npos ? std::string_view() : input.substr(split + 1);

  IniFile menu;
  menu.LoadText(menuText);
  const MenuLayout layout = ReadMenuLayout(menu);
  MenuRecord record;
  const MenuPackResult result = PackMenuRecord(layout, SplitValueLines(values), record);
  (void)MenuPackMessage(result);
  return 0;
}
