#pragma once
// The unit's 16 KiB EEPROM: the serial text at offset 0 and the date-time identifier at
// offset 320 (two little-endian 32-bit words, low word first). Not thread-safe by itself.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace sim {

namespace EepromLayout {
inline constexpr std::size_t Size = 0x4000;
inline constexpr std::size_t SerialOffset = 0;
inline constexpr std::size_t SerialMax = 256;
inline constexpr std::size_t DateTimeOffset = 320;
}  // namespace EepromLayout

class Eeprom {
 public:
  Eeprom() { blank(); }

  void blank() { bytes_.fill(0xFF); }
  // Writes the text and its terminating zero (cut to 255 characters so the zero fits).
  void setSerialText(const std::string& text);
  void setDateTimeId(std::uint64_t id);
  std::uint64_t dateTimeId() const;
  // False when the range leaves the 16 KiB.
  bool write(std::size_t offset, std::span<const std::uint8_t> data);
  bool contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  const std::array<std::uint8_t, EepromLayout::Size>& bytes() const { return bytes_; }

 private:
  std::array<std::uint8_t, EepromLayout::Size> bytes_{};
};

}  // namespace sim
