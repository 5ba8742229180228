#pragma once
// The eight-site automatic loop of zv_bench_run, for the figures that compare it with itself.
#include <cstdint>
#include <string>

struct LoopFigures {
  bool complete = false;       // every site ran, enough parts, none failed
  std::uint32_t parts = 0;     // parts counted between the two thresholds
  double uph = 0;              // parts per hour over them
  std::uint64_t recorded = 0;  // records committed to the local database
  std::uint64_t shipped = 0;   // records shipped to the line's database
};

// The loop on eight simulated units (virtual operator, no failures, real time) at the auto-run
// interval, its records shipped to `recordsUrl` when it is not empty.
LoopFigures MeasureAutoLoop(std::int32_t intervalMs, const std::string& recordsUrl);
