// Crc32 and FileByteSum against memcpy of the same bytes.
#include <unistd.h>

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

std::vector<std::uint8_t> RandomBytes(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  std::mt19937_64 random(1);
  for (std::size_t i = 0; i + 8 <= count; i += 8) {
    const std::uint64_t word = random();
    for (int b = 0; b < 8; ++b) bytes[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
  return bytes;
}

// A temporary file that is removed with the object.
class TempFile {
 public:
  explicit TempFile(const std::vector<std::uint8_t>& bytes)
      : path_(std::filesystem::temp_directory_path() /
              ("zv_bench_" + std::to_string(::getpid()) + ".bin")) {
    std::ofstream(path_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }
  ~TempFile() {
    std::error_code error;
    std::filesystem::remove(path_, error);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};
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
  const TempFile file(bytes);
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
