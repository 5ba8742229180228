#include "bench/bench_util.h"

#include <cstring>
#include <memory>

namespace bench {

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
