#pragma once
// How fast the virtual parts are, by kind: the time per byte of erase, program, verify, blank
// check and read. The kinds are those of the demo database; the unit learns which kind it
// holds from the driver settings the PC sends before a run.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace sim {

enum class PartKind : std::uint8_t { Default, SerialNor, ParallelNor, Eeprom, Nand };
inline constexpr std::size_t kPartKinds = 5;

// Nanoseconds per byte the step touches (model time).
struct PartTiming {
  double eraseNsPerByte = 0;
  double programNsPerByte = 0;
  double verifyNsPerByte = 0;
  double blankCheckNsPerByte = 0;
  double readNsPerByte = 0;
};

using PartTimingTable = std::array<PartTiming, kPartKinds>;

// Typical data-sheet rates of each kind.
PartTimingTable typicalPartTimings();

std::string_view partKindName(PartKind kind);

// The kind a 16 KiB driver settings image describes: block-organised -> NAND, 32 pins or
// more -> parallel NOR, fewer pins with ID support -> serial NOR, without -> EEPROM; an image
// that names no pin count -> Default.
PartKind partKindFromDriverSettings(std::span<const std::uint8_t> image);

}  // namespace sim
