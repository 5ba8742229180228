#include "sim/cpu_meter.h"

#include <time.h>

namespace sim {

namespace {

std::chrono::nanoseconds clockTime(clockid_t clock) {
  timespec now{};
  if (clock_gettime(clock, &now) != 0) return std::chrono::nanoseconds(0);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

}  // namespace

std::chrono::nanoseconds threadCpuTime() {
  return clockTime(CLOCK_THREAD_CPUTIME_ID);
}

}  // namespace sim
