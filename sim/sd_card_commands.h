#pragma once
// The unit's SD card, kept in a host folder: detect, test, free space, directories, file
// size, and pieces copied between card files and unit memory. Every command answers with
// the card's result code in byte 0 of its completion reply.
#include <cstdint>
#include <optional>

#include "sim/command_context.h"

namespace sim {

namespace CardResult {
inline constexpr std::uint8_t Pass = 0xA0;
inline constexpr std::uint8_t NotReady = 0xA1;  // no card detected
inline constexpr std::uint8_t MediumRemoved = 0xA2;
inline constexpr std::uint8_t NoFile = 0xA3;
inline constexpr std::uint8_t NoPath = 0xA4;
inline constexpr std::uint8_t InvalidName = 0xA5;
inline constexpr std::uint8_t Denied = 0xA7;
inline constexpr std::uint8_t Exists = 0xA8;
inline constexpr std::uint8_t DiskError = 0xA9;
inline constexpr std::uint8_t WriteProtected = 0xAA;
}  // namespace CardResult

// Test controls of the card.
struct SdCardState {
  std::optional<std::uint32_t> freeKBytes;  // reported instead of the host folder's free space
  bool writeProtected = false;
  std::optional<std::uint8_t> forcedResult;  // every card command answers this code
  bool missing = false;                      // no card in the slot: every command answers NotReady
  bool full = false;  // no free space: reported as 0 KBytes, every write is denied
  // The write of this piece (counted from 0 over the card's piece writes) finds the card
  // pulled half-way: half the piece is written, the write answers MediumRemoved and the card
  // is missing from then on.
  std::optional<std::uint32_t> pullAtPiece;
  std::uint32_t piecesWritten = 0;
};

// Reply offsets of the card values.
namespace CardReply {
inline constexpr std::size_t FreeKBytes = 390;
inline constexpr std::size_t FileSize = 394;
}  // namespace CardReply

// Open modes of a card write.
namespace CardOpenMode {
inline constexpr std::uint8_t CreateNew = 8;
inline constexpr std::uint8_t OpenAlways = 16;
}  // namespace CardOpenMode

void installSdCardCommands(CommandRegistry& registry);

}  // namespace sim
