#pragma once
// Per-site results that outlive one operation: the last RUN ALL result and verdict, and the
// two bytes of the automatic loop. The run starters reset them on the UI thread before they
// start the workers; the site's worker then reads and writes them. Atomics, because the
// windows may look at them while a worker runs.
#include <atomic>
#include <cstdint>

struct SiteRunBytes {
  std::atomic<std::uint8_t> RunResult{0};      // SiteResult of the site's last RUN ALL
  std::atomic<std::uint8_t> RunVerdict{0};     // byte 55 of the last step reply of that run
  std::atomic<std::uint8_t> AutoRunActive{0};  // 1 while the automatic loop runs
  std::atomic<std::uint8_t> AutoRunPhase{0};   // 2 waiting for removal, 1 for insertion

  // What the run starters do for every site before a run; the verdict is rewritten by every
  // run before anything reads it.
  void Reset() {
    RunResult = 0;
    AutoRunActive = 0;
    AutoRunPhase = 0;
  }
};
