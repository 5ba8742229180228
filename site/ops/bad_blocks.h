#pragma once
// The bad block report of a NAND run: the unit's block bitmap (one bit per block, bit b of
// the map for block b, 0 = bad) turned into a total line and the numbers of the first bad
// blocks.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "log/core/log_sink.h"

inline constexpr std::size_t kBadBlockMapBytes = 65536;  // 524288 blocks
inline constexpr std::size_t kBadBlocksListed = 50;
inline constexpr char kBadBlockListFull[] = "A maximum of 50 documents";

struct BadBlockCount {
  std::uint32_t Bad = 0;
  // The first 50 bad block numbers, then kBadBlockListFull when there are more.
  std::vector<std::string> Entries;
};

// Counts over the first 65536 bytes of `bitmap` (fewer when it is shorter).
BadBlockCount CountBadBlocks(std::span<const std::uint8_t> bitmap);

// The list lines, each " - Bad Block Number = " + entries, every entry followed by ", ":
// entries 0..9 on the first line, nine on each further line, the rest on the last.
std::vector<std::string> BadBlockNumberLines(const std::vector<std::string>& entries);

// " - Total Block = <total>, Good Block = <good>, Bad Block = <bad>", green without bad
// blocks; otherwise orange and followed by the number lines in red. `totalBlocks` is driver
// slot 108; good blocks are never shown below 0.
void ReportBadBlocks(LogSink& log, int site, std::span<const std::uint8_t> bitmap,
                     std::uint32_t totalBlocks);
