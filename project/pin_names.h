#pragma once
// The pin name table: the name of each signal by its bit position in a unit's pin-scan data.
// Bits 0..31 "IO_A<0>".."IO_A<31>", 32..47 "IO_D<0>".."IO_D<15>", then the control signals.
// The drivers name their socket pins with the same texts.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::size_t kPinNameCount = 56;

// The name of bit `bit` (0..55); empty outside the table.
std::string PinName(std::size_t bit);

// The first bit whose name is exactly `name`, if any.
std::optional<std::size_t> PinBitOf(std::string_view name);
