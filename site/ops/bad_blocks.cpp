#include "site/ops/bad_blocks.h"

#include <algorithm>
#include <bit>

#include "link/standard_exchange.h"

namespace {

constexpr std::size_t kFirstLineEntries = 10;
constexpr std::size_t kFurtherLineEntries = 9;
constexpr unsigned kBitsPerByte = 8;
constexpr std::uint8_t kAllGood = 0xFF;

bool EndsLine(std::size_t index, std::size_t count) {
  if (index + 1 == count) return true;
  if (index + 1 < kFirstLineEntries) return false;
  return (index + 1 - kFirstLineEntries) % kFurtherLineEntries == 0;
}

void ListBadBlocksOf(std::uint8_t byte, std::size_t firstBlock, BadBlockCount& count) {
  for (unsigned bit = 0; bit < kBitsPerByte; ++bit) {
    if ((byte >> bit) & 1u) continue;
    if (count.Entries.size() < kBadBlocksListed) {
      count.Entries.push_back(std::to_string(firstBlock + bit));
    } else if (count.Entries.size() == kBadBlocksListed) {
      count.Entries.emplace_back(kBadBlockListFull);
    }
  }
}

}  // namespace

BadBlockCount CountBadBlocks(std::span<const std::uint8_t> bitmap) {
  BadBlockCount count;
  const std::size_t bytes = std::min(bitmap.size(), kBadBlockMapBytes);
  for (std::size_t at = 0; at < bytes; ++at) {
    const std::uint8_t byte = bitmap[at];
    if (byte == kAllGood) continue;
    count.Bad += kBitsPerByte - static_cast<unsigned>(std::popcount(byte));
    if (count.Entries.size() <= kBadBlocksListed) ListBadBlocksOf(byte, at * kBitsPerByte, count);
  }
  return count;
}

std::vector<std::string> BadBlockNumberLines(const std::vector<std::string>& entries) {
  std::vector<std::string> lines;
  std::string line = " - Bad Block Number = ";
  for (std::size_t index = 0; index < entries.size(); ++index) {
    line += entries[index] + ", ";
    if (EndsLine(index, entries.size())) {
      lines.push_back(line);
      line = " - Bad Block Number = ";
    }
  }
  return lines;
}

void ReportBadBlocks(LogSink& log, int site, std::span<const std::uint8_t> bitmap,
                     std::uint32_t totalBlocks) {
  const BadBlockCount count = CountBadBlocks(bitmap);
  // A unit that marks more blocks bad than the part has must not show billions of good ones.
  const std::uint32_t good = totalBlocks > count.Bad ? totalBlocks - count.Bad : 0;
  const std::string total = " - Total Block = " + std::to_string(totalBlocks) +
                            ", Good Block = " + std::to_string(good) +
                            ", Bad Block = " + std::to_string(count.Bad);
  if (count.Bad == 0) {
    LogSite(log, site, total, LogColour::Green);
    return;
  }
  LogSite(log, site, total, LogColour::Orange);
  for (const std::string& line : BadBlockNumberLines(count.Entries)) {
    LogSite(log, site, line, LogColour::Red);
  }
}
