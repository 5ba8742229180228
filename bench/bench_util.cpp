#include "bench/bench_util.h"

#include <unistd.h>

#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <random>
#include <system_error>

namespace bench {

double ProcessCpuSeconds() {
  timespec now{};
  if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) return 0;
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double MemcpySeconds(std::size_t bytes, int repeats) {
  const auto from = std::make_unique<std::uint8_t[]>(bytes);  // zeroed: pages are mapped
  const auto to = std::make_unique<std::uint8_t[]>(bytes);
  for (std::size_t i = 0; i < bytes; i += 4096) from[i] = static_cast<std::uint8_t>(i >> 12);
  volatile std::uint8_t sink = 0;
  const double seconds = BestSeconds(repeats, [&] {
    std::memcpy(to.get(), from.get(), bytes);
    sink = static_cast<std::uint8_t>(sink + to[bytes / 2]);  // keeps the copy observable
  });
  return seconds;
}

}  // namespace bench

namespace bench {

std::vector<std::uint8_t> RandomBytes(std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  std::mt19937_64 random(1);
  for (std::size_t i = 0; i + 8 <= count; i += 8) {
    const std::uint64_t word = random();
    for (int b = 0; b < 8; ++b) bytes[i + b] = static_cast<std::uint8_t>(word >> (8 * b));
  }
  return bytes;
}

TempFile::TempFile(const std::string& tag, std::span<const std::uint8_t> bytes)
    : path_(std::filesystem::temp_directory_path() /
            ("zv_bench_" + tag + "_" + std::to_string(::getpid()) + ".bin")) {
  std::ofstream(path_, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

TempFile::~TempFile() {
  std::error_code error;
  std::filesystem::remove(path_, error);
}

}  // namespace bench
