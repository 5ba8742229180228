#pragma once
// The 64 KiB menu record: the values of a driver's option menu ("MenuOption.sav", one per
// line) packed one after another, little-endian and without gaps, as the menu file's pages
// and components lay them out. Packing does no I/O; the loading side is menu_file.h.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kMenuRecordSize = 65536;
using MenuRecord = std::array<std::uint8_t, kMenuRecordSize>;

// Component types of a menu page, named by what they pack (the menu editor has its own
// names for them: number boxes, choices, texts, labels).
namespace MenuComponentType {
inline constexpr std::int32_t PackedInt0 = 0;  // 0, 1, 4: the value as a 32-bit integer
inline constexpr std::int32_t PackedInt1 = 1;
inline constexpr std::int32_t ByValueType = 2;  // packs as its value type says
inline constexpr std::int32_t Unpacked3 = 3;    // 3, 5, 6: no value
inline constexpr std::int32_t PackedInt4 = 4;
inline constexpr std::int32_t Unpacked5 = 5;
inline constexpr std::int32_t Unpacked6 = 6;
}  // namespace MenuComponentType

// Value types of a component of type 2.
namespace MenuValueType {
inline constexpr std::int32_t Low16 = 0;   // 0, 3: the low 16 bits of the value
inline constexpr std::int32_t Int32 = 1;   // 1, 4: the value as a 32-bit integer
inline constexpr std::int32_t Field6 = 2;  // 2, 5: the 32-bit value in a 6-byte field
inline constexpr std::int32_t Low16B = 3;
inline constexpr std::int32_t Int32B = 4;
inline constexpr std::int32_t Field6B = 5;
inline constexpr std::int32_t Text = 6;      // the line itself, "Length" bytes
inline constexpr std::int32_t Unpacked = 7;  // no value
}  // namespace MenuValueType

inline constexpr std::int32_t kMenuDefaultTextLength = 16;

struct MenuComponent {
  std::int32_t type = -1;
  std::optional<std::int32_t> valueType;  // absent when the menu file lacks the key
  std::int32_t length = kMenuDefaultTextLength;
};

// The pages as the menu file lists them; pages without a section or without components are
// left out, as they pack nothing.
struct MenuLayout {
  std::string date;
  std::vector<std::vector<MenuComponent>> pages;
};

enum class MenuPackResult {
  Ok,
  ValuesExhausted,   // fewer value lines than components
  BadComponentType,  // "Menu Component Error!"
  BadValueType,      // "Menu Parameter Error!"
  MissingValueType,  // a type-2 component without a value type: no message
  ValueNotNumber,    // a line that is not a decimal integer where a number is packed
  RecordOverflow,    // the values need more than the record's 65536 bytes
};

// Presets `record` to 0xFF and packs `lines` by `layout`.
MenuPackResult PackMenuRecord(const MenuLayout& layout, const std::vector<std::string>& lines,
                              MenuRecord& record);

// The lines of a values file: "\r\n", "\n" or "\r" ends a line; a final line break adds no line.
std::vector<std::string> SplitValueLines(std::string_view text);

// A decimal integer of 32 bits (signed or unsigned range), blanks around it allowed.
std::optional<std::uint32_t> ParseMenuNumber(std::string_view text);
