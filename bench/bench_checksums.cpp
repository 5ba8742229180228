// Crc32 and FileByteSum against memcpy of the same bytes.
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "bench/bench_figures.h"
#include "bench/bench_util.h"
#include "support/checksums.h"

namespace bench {

namespace {
constexpr std::size_t kCrcBytes = 64u << 20;
constexpr std::size_t kFileBytes = 128u << 20;
constexpr int kRepeats = 5;

}  // namespace

bool RunCrc32() {
  const auto bytes = RandomBytes(kCrcBytes);
  const double copy = MemcpySeconds(kCrcBytes, kRepeats);
  volatile std::uint32_t sink = 0;
  const double crc = BestSeconds(
      kRepeats, [&] { sink = Crc32(bytes.data(), static_cast<std::uint32_t>(bytes.size())); });
  Print("memcpy", MegabytesPerSecond(kCrcBytes, copy), "MB/s");
  Print("Crc32", copy / crc, "x_memcpy");
  Print("Crc32_rate", MegabytesPerSecond(kCrcBytes, crc), "MB/s");
  return MegabytesPerSecond(kCrcBytes, crc) >= 1000.0;
}

bool RunFileByteSum() {
  const auto bytes = RandomBytes(kFileBytes);
  std::uint32_t expected = ByteSum(bytes.data(), bytes.size());
  const TempFile file("sum", bytes);
  std::uint32_t sum = 0;
  bool correct =
      FileByteSum(file.Path(), 0, kFileBytes, sum) == ByteSumResult::Ok;  // warms the cache
  const double copy = MemcpySeconds(kFileBytes, kRepeats);
  const double summed = BestSeconds(kRepeats, [&] {
    correct = correct && FileByteSum(file.Path(), 0, kFileBytes, sum) == ByteSumResult::Ok &&
              sum == expected;
  });
  Print("FileByteSum", copy / summed, "x_memcpy");
  Print("FileByteSum_rate", MegabytesPerSecond(kFileBytes, summed), "MB/s");
  Print("FileByteSum_correct", correct ? 1 : 0, "bool");
  return correct && copy / summed >= 0.5;
}

}  // namespace bench
