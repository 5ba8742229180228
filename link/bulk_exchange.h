#pragma once
// The acknowledged bulk transfers between PC and unit. Each chunk of an announced transfer is
// preceded by a 10 ms pause and paired with a 512-byte acknowledgement (unit to PC) or a
// 1024-byte acknowledgement block (PC to unit). Every chunk moves whole (a 100-byte SendBuffer
// sends 1024 bytes). The buffers carry their size: bytes past the end of a shorter send buffer
// go out as 0xFF, and a receive buffer gets only what fits, so a short buffer is never read or
// written past its end.
#include <cstdint>
#include <filesystem>
#include <span>

#include "link/command_block.h"
#include "log/core/log_sink.h"

class ZvUsb;

inline constexpr std::uint32_t kSmallChunk = 1024;
inline constexpr std::uint32_t kLargeChunk = 1048576;

// Unit memory addresses the callers pass.
namespace UnitAddress {
inline constexpr std::uint32_t Settings = 0x20000000;  // settings images and other unit data
inline constexpr std::uint32_t DriverOption = 0x23C00000;
inline constexpr std::uint32_t ProcedureList = 0x23C10000;
inline constexpr std::uint32_t GroupDefine = 0x23C20000;
inline constexpr std::uint32_t FpgaImage = 0x23D20000;
inline constexpr std::uint32_t DriverImage = 0x23D60000;
inline constexpr std::uint32_t BadBlockTable = 0x23EA0000;
}  // namespace UnitAddress

struct ChunkPlan {
  std::uint32_t Length = 0;  // bytes per chunk
  std::uint32_t Count = 0;   // length of the transfer / Length, rounded up
  std::uint64_t Bytes() const { return std::uint64_t{Length} * Count; }
};

// The chunk policies.
ChunkPlan SendBufferPlan(std::uint32_t n);
ChunkPlan ReceiveBufferPlan(std::uint32_t n);
ChunkPlan SendBufferFixedPlan(std::uint32_t n);
ChunkPlan ReceiveBufferFixedPlan(std::uint32_t n);
// 64-bit region; a region of more than 2^32 chunks is not representable and gives count 0.
ChunkPlan SendFileRangePlan(std::uint64_t regionLength);

// All return a SiteResult and log their failures in red as site messages.
SiteResult SendBuffer(ZvUsb& link, LogSink& log, std::span<const std::uint8_t> buffer,
                      std::uint32_t n, std::uint32_t unitAddress);
SiteResult ReceiveBuffer(ZvUsb& link, LogSink& log, std::span<std::uint8_t> buffer, std::uint32_t n,
                         std::uint32_t unitAddress);
SiteResult SendBufferFixed(ZvUsb& link, LogSink& log, std::span<const std::uint8_t> buffer,
                           std::uint32_t n, std::uint32_t unitAddress);
SiteResult ReceiveBufferFixed(ZvUsb& link, LogSink& log, std::span<std::uint8_t> buffer,
                              std::uint32_t n, std::uint32_t unitAddress);
// Streams a file region in chunks without announcing it (the unit asked for it). No busy
// check or release, no presence check.
SiteResult SendFileRange(ZvUsb& link, LogSink& log, const std::filesystem::path& file,
                         std::uint64_t offset, std::uint64_t regionLength);
