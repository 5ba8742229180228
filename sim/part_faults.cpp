#include "sim/part_faults.h"

#include <algorithm>
#include <array>

#include "sim/procedure_commands.h"

namespace sim {

namespace {

inline constexpr std::uint64_t kFailStream = 2;

bool has(const std::vector<std::uint16_t>& steps, std::uint16_t code) {
  return std::find(steps.begin(), steps.end(), code) != steps.end();
}

// The steps that touch the part, where a loose part or an over-current shows.
std::vector<std::uint16_t> partSteps(const std::vector<std::uint16_t>& steps) {
  std::vector<std::uint16_t> out;
  for (std::uint16_t code : steps) {
    if (code != StepCode::DataChunk) out.push_back(code);
  }
  return out;
}

}  // namespace

std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t seat, std::uint64_t stream) {
  std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (seat * 4 + stream + 1);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

FailDraw::FailDraw(const FailRateOptions& options, std::uint64_t seat)
    : options_(options), random_(streamSeed(options.seed, seat, kFailStream)) {}

RunFault FailDraw::next(const std::vector<std::uint16_t>& steps, std::uint32_t partBytes) {
  RunFault fault;
  if (options_.rate <= 0) return fault;
  ++draws_;
  const double roll = std::uniform_real_distribution<double>(0.0, 1.0)(random_);
  const auto touching = partSteps(steps);
  if (roll >= options_.rate || touching.empty()) return fault;
  const FailMix& mix = options_.mix;
  // Weights of the ways these steps can show; a weak cell needs a read-back step. When none
  // is left, the part sits loose, which every run shows.
  const bool readsBack = has(steps, StepCode::Verify) || has(steps, StepCode::BlankCheck);
  const std::array<unsigned, 4> weights{has(steps, StepCode::IdCheck) ? mix.wrongId : 0u,
                                        readsBack ? mix.badCell : 0u, mix.emptySocket,
                                        mix.overCurrent};
  const bool any = std::any_of(weights.begin(), weights.end(), [](unsigned w) { return w > 0; });
  int way = static_cast<int>(PartFault::EmptySocket) - 1;
  if (any) way = std::discrete_distribution<int>(weights.begin(), weights.end())(random_);
  fault.kind = static_cast<PartFault>(way + 1);
  if (fault.kind == PartFault::OverCurrent) {
    fault.step =
        touching[std::uniform_int_distribution<std::size_t>(0, touching.size() - 1)(random_)];
  }
  if (fault.kind == PartFault::BadCell) {
    fault.address =
        std::uniform_int_distribution<std::uint32_t>(0, std::max(partBytes, 1u) - 1)(random_);
  }
  return fault;
}

}  // namespace sim
