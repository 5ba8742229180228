#include "sim/part_timing.h"

#include "sim/command_block.h"

namespace sim {

namespace {

// Driver settings slots the firmware reads to know the part (32-bit little-endian each).
inline constexpr std::size_t kSlotIdSupport = 78;
inline constexpr std::size_t kSlotBlockOrganised = 166;
inline constexpr std::size_t kSlotPinCount = 167;
inline constexpr std::uint32_t kSlotUnset = 0xFFFFFFFF;
inline constexpr std::uint32_t kParallelPins = 32;

std::uint32_t slot(std::span<const std::uint8_t> image, std::size_t index) {
  const std::size_t at = 4 * index;
  if (at + 4 > image.size()) return kSlotUnset;
  return readLe32(image.data() + at);
}

bool set(std::uint32_t value) {
  return value != 0 && value != kSlotUnset;
}

}  // namespace

PartTimingTable typicalPartTimings() {
  PartTimingTable table{};
  // erase, program, verify, blank check, read (ns per byte)
  table[static_cast<std::size_t>(PartKind::Default)] = {200, 400, 25, 25, 25};
  // 4 KiB sectors erase at ~1 us/byte, 256-byte pages program in ~0.4 ms, reads at ~40 MB/s.
  table[static_cast<std::size_t>(PartKind::SerialNor)] = {1000, 1500, 25, 25, 25};
  // Word programming with write buffers; reads at ~50 MB/s.
  table[static_cast<std::size_t>(PartKind::ParallelNor)] = {1500, 600, 20, 20, 20};
  // Page writes of 5 ms per 64 bytes; erase writes 0xFF the same way; 400 kHz reads.
  table[static_cast<std::size_t>(PartKind::Eeprom)] = {78000, 78000, 25000, 25000, 25000};
  // 2 ms per 128 KiB block erase, 300 us per 2 KiB page program, page reads with transfer.
  table[static_cast<std::size_t>(PartKind::Nand)] = {15, 150, 40, 40, 40};
  return table;
}

std::string_view partKindName(PartKind kind) {
  switch (kind) {
    case PartKind::SerialNor:
      return "serial NOR";
    case PartKind::ParallelNor:
      return "parallel NOR";
    case PartKind::Eeprom:
      return "EEPROM";
    case PartKind::Nand:
      return "NAND";
    default:
      return "default";
  }
}

PartKind partKindFromDriverSettings(std::span<const std::uint8_t> image) {
  if (set(slot(image, kSlotBlockOrganised))) return PartKind::Nand;
  const std::uint32_t pins = slot(image, kSlotPinCount);
  if (!set(pins)) return PartKind::Default;
  if (pins >= kParallelPins) return PartKind::ParallelNor;
  return set(slot(image, kSlotIdSupport)) ? PartKind::SerialNor : PartKind::Eeprom;
}

}  // namespace sim
