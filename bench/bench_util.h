#pragma once
// Timing and printing shared by the benchmark figures.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace bench {

// Best wall time of `repeats` runs of `work`, in seconds: the least disturbed run on a shared
// machine.
template <typename Work>
double BestSeconds(int repeats, Work&& work) {
  double best = 1e300;
  for (int i = 0; i < repeats; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (took.count() < best) best = took.count();
  }
  return best;
}

inline double MegabytesPerSecond(std::size_t bytes, double seconds) {
  return static_cast<double>(bytes) / 1e6 / seconds;
}

// One figure per line: NAME = VALUE UNIT.
inline void Print(const std::string& name, double value, const std::string& unit) {
  std::printf("%s = %.3f %s\n", name.c_str(), value, unit.c_str());
  std::fflush(stdout);
}

// memcpy of `bytes` bytes between two buffers of that size, the reference of every ratio.
double MemcpySeconds(std::size_t bytes, int repeats);

// The CPU time of the whole process so far, every thread's.
double ProcessCpuSeconds();

// Reproducible pseudo-random bytes.
std::vector<std::uint8_t> RandomBytes(std::size_t count);

// A file in the temporary folder, removed with the object.
class TempFile {
 public:
  TempFile(const std::string& tag, std::span<const std::uint8_t> bytes);
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace bench
