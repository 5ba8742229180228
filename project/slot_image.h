#pragma once
// A 16 KiB image of 4096 unsigned 32-bit little-endian slots, as the units receive the driver
// and hardware settings. Preset to 0xFF bytes; slots are read and written by index.
#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kSlotImageBytes = 16384;
inline constexpr std::size_t kSlotImageSlots = kSlotImageBytes / 4;

class SlotImage {
 public:
  SlotImage() { Preset(); }
  void Preset() { bytes_.fill(0xFF); }
  // Out-of-range indices read as 0xFFFFFFFF and are not written.
  std::uint32_t Slot(std::size_t index) const {
    if (index >= kSlotImageSlots) return 0xFFFFFFFFu;
    const std::uint8_t* p = &bytes_[index * 4];
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  void SetSlot(std::size_t index, std::uint32_t value) {
    if (index >= kSlotImageSlots) return;
    std::uint8_t* p = &bytes_[index * 4];
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value >> 16);
    p[3] = static_cast<std::uint8_t>(value >> 24);
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
