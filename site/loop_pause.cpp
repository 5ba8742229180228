#include "site/loop_pause.h"

#include <algorithm>
#include <thread>

namespace {
constexpr std::chrono::milliseconds kPauseSlice{10};
}  // namespace

void PauseWhile(std::chrono::milliseconds duration, const std::function<bool()>& keepWaiting) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  for (;;) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline || !keepWaiting()) return;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(kPauseSlice, deadline - now));
  }
}
