#pragma once
// Parts that fail as real parts do: for each run a seeded draw decides whether its part is
// one of the failing share and how it fails, among the ways the run's steps can show.
#include <cstdint>
#include <random>
#include <vector>

#include "sim/virtual_gang.h"

namespace sim {

enum class PartFault : std::uint8_t { None, WrongId, BadCell, EmptySocket, OverCurrent };

struct RunFault {
  PartFault kind = PartFault::None;
  std::uint16_t step = 0;     // OverCurrent: the step that trips
  std::uint32_t address = 0;  // BadCell: the weak cell's offset in the part
};

class FailDraw {
 public:
  FailDraw(const FailRateOptions& options, std::uint64_t seat);
  // The fault of the next run of `steps` over `partBytes` bytes (None for a good part, or
  // when the steps cannot show any fault).
  RunFault next(const std::vector<std::uint16_t>& steps, std::uint32_t partBytes);
  std::uint64_t draws() const { return draws_; }

 private:
  FailRateOptions options_;
  std::mt19937_64 random_;
  std::uint64_t draws_ = 0;
};

}  // namespace sim
