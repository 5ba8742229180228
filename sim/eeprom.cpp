#include "sim/eeprom.h"

#include <algorithm>

namespace sim {

void Eeprom::setSerialText(const std::string& text) {
  const std::size_t n = std::min(text.size(), EepromLayout::SerialMax - 1);
  std::copy_n(text.begin(), n, bytes_.begin() + EepromLayout::SerialOffset);
  bytes_[EepromLayout::SerialOffset + n] = 0;
}

void Eeprom::setDateTimeId(std::uint64_t id) {
  for (std::size_t i = 0; i < 8; ++i) {
    bytes_[EepromLayout::DateTimeOffset + i] = static_cast<std::uint8_t>(id >> (8 * i));
  }
}

std::uint64_t Eeprom::dateTimeId() const {
  std::uint64_t id = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    id |= static_cast<std::uint64_t>(bytes_[EepromLayout::DateTimeOffset + i]) << (8 * i);
  }
  return id;
}

bool Eeprom::write(std::size_t offset, std::span<const std::uint8_t> data) {
  if (!contains(offset, data.size())) return false;
  std::copy(data.begin(), data.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  return true;
}

}  // namespace sim
