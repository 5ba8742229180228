#pragma once
// The simulator's own CPU time. The simulated firmware and bus run on the threads of the
// program that calls them (its workers and read threads), so a benchmark that wants the
// program's cost alone takes out what the calling threads spent inside the simulator: each
// call into the bus is timed by its thread's CPU clock.
#include <atomic>
#include <chrono>
#include <cstdint>

namespace sim {

// The calling thread's CPU time so far.
std::chrono::nanoseconds threadCpuTime();

// Sums the thread CPU time spent inside metered calls; thread-safe.
class CpuMeter {
 public:
  std::chrono::nanoseconds total() const { return std::chrono::nanoseconds(total_.load()); }

  // Adds the CPU time the calling thread spends while the object lives.
  class Scope {
   public:
    explicit Scope(CpuMeter& meter) : meter_(meter), start_(threadCpuTime()) {}
    ~Scope() { meter_.total_.fetch_add((threadCpuTime() - start_).count()); }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    CpuMeter& meter_;
    std::chrono::nanoseconds start_;
  };

 private:
  std::atomic<std::int64_t> total_{0};
};

}  // namespace sim
