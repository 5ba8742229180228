#pragma once
// Per-site results that outlive one operation: the last RUN ALL result and verdict, the two
// bytes of the automatic loop, and the insertion facts of the last insert detection. The run
// starters reset them on the UI thread before they start the workers; the site's worker then reads
// and writes them. Atomics, because the windows may look at them while a worker runs.
#include <atomic>
#include <cstdint>
#include <string>

// Values of AutoRunPhase.
namespace AutoRunPhaseValue {
inline constexpr std::uint8_t BeforeFirstWait = 0;
inline constexpr std::uint8_t AwaitInsertion = 1;
inline constexpr std::uint8_t AwaitRemoval = 2;
}  // namespace AutoRunPhaseValue

struct SiteRunBytes {
  std::atomic<std::uint8_t> RunResult{0};      // SiteResult of the site's last RUN ALL
  std::atomic<std::uint8_t> RunVerdict{0};     // byte 55 of the last step reply of that run
  std::atomic<std::uint8_t> AutoRunActive{0};  // 1 while the automatic loop runs
  std::atomic<std::uint8_t> AutoRunPhase{0};   // 2 waiting for removal, 1 for insertion
  std::atomic<std::uint8_t> InsertState{0};    // verdict byte of the last insert detection
  std::atomic<std::uint64_t> PinState{0};      // its pin-scan data OR the pins not examined

  // The project a run from the unit's SD card programs, for its part records: its name on the
  // card and the CRC-32 of its data image. Written by the opcode that loads it and read by the
  // runs after it, all on the site's worker.
  std::string CardProject;
  std::uint32_t CardImageCrc = 0;

  // What the run starters do for every site before a run; the verdict and the insertion facts
  // are rewritten by every run or detection before anything reads them.
  void Reset() {
    RunResult = 0;
    AutoRunActive = 0;
    AutoRunPhase = 0;
  }
};
