#pragma once
// What the running operations read from the windows' controls, as snapshots a front end writes
// whenever a control changes: the workers never touch a widget.
#include <atomic>
#include <cstdint>

inline constexpr std::int32_t kDefaultAutoRunIntervalMs = 500;

struct RunControls {
  std::atomic<bool> StopAllEnabled{false};     // "Stop All" of the automatic run
  std::atomic<bool> KeyRunStopEnabled{false};  // the key run's "Stop"
  std::atomic<std::int32_t> AutoRunInterval{kDefaultAutoRunIntervalMs};
  std::atomic<bool> IgnoreInsertionDetection{false};
};
