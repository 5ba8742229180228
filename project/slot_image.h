#pragma once
// A 16 KiB image of 4096 unsigned 32-bit little-endian slots, as the units receive the driver
// and hardware settings. Preset to 0xFF bytes; slots are read and written by index.
#include <array>
#include <cstddef>
#include <cstdint>

#include "support/byte_order.h"

inline constexpr std::size_t kSlotImageBytes = 16384;
inline constexpr std::size_t kSlotImageSlots = kSlotImageBytes / 4;

class SlotImage {
 public:
  SlotImage() { Preset(); }
  void Preset() { bytes_.fill(0xFF); }
  // Out-of-range indices read as 0xFFFFFFFF and are not written.
  std::uint32_t Slot(std::size_t index) const {
    if (index >= kSlotImageSlots) return 0xFFFFFFFFu;
    return GetLe32(&bytes_[index * 4]);
  }
  void SetSlot(std::size_t index, std::uint32_t value) {
    if (index >= kSlotImageSlots) return;
    PutLe32(&bytes_[index * 4], value);
  }
  const std::uint8_t* Data() const { return bytes_.data(); }
  std::uint8_t* Data() { return bytes_.data(); }
  static constexpr std::size_t Size() { return kSlotImageBytes; }
  const std::array<std::uint8_t, kSlotImageBytes>& Bytes() const { return bytes_; }

 private:
  std::array<std::uint8_t, kSlotImageBytes> bytes_;
};

// The driver image: slot j = the value of the key on line j + 2 of the order table.
struct DriverIniImage : SlotImage {};
// The hardware image: the ten hardware values in slots 0 to 9.
struct HardwareIniImage : SlotImage {};
