#pragma once
// The IEEE 802.3 CRC-32 the firmware checks images with (reflected, polynomial 0xEDB88320,
// initial and final value 0xFFFFFFFF).
#include <cstddef>
#include <cstdint>
#include <span>

namespace sim {

std::uint32_t crc32(std::span<const std::uint8_t> bytes);

}  // namespace sim
