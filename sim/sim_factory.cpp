#include "sim/sim_factory.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <system_error>

namespace sim {

namespace {

// First identifier: 2025-01-01 09:30:00, as the units' EEPROM holds it (date word high).
inline constexpr std::uint32_t kFirstDate = 20250101;
inline constexpr std::uint32_t kFirstTime = 93000;

// A stride coprime with `total` and above half of it spreads the ranks over the bus order.
int strideFor(int total) {
  for (int s = total / 2 + 1;; ++s) {
    if (std::gcd(s, total) == 1) return s;
  }
}

GangConfig rigGangConfig(int k, const RigOptions& options, std::shared_ptr<PartTally> tally) {
  GangConfig gang;
  gang.hand = options.hand;
  gang.hand.enabled = options.virtualOperator;
  gang.hand.seed = options.seed;
  gang.failRate.rate = std::clamp(options.failRate, 0.0, 1.0);
  gang.failRate.mix = options.failMix;
  gang.failRate.seed = options.seed;
  gang.seat = static_cast<std::uint64_t>(k);
  gang.fixedPartKind = options.partKind.has_value();
  gang.partKind = options.partKind.value_or(PartKind::Default);
  gang.busTally = std::move(tally);
  return gang;
}

}  // namespace

int rigOrderRank(int k, int total) {
  if (total <= 1) return 0;
  return total - 1 - (k * strideFor(total)) % total;
}

std::uint64_t rigDateTimeId(int k, int total) {
  const auto rank = static_cast<std::uint32_t>(rigOrderRank(k, total));
  const std::uint32_t date = kFirstDate + rank;
  const std::uint32_t time = kFirstTime + 101 * rank;
  return (std::uint64_t{date} << 32) | time;
}

std::string rigSerialText(int k) {
  char text[32];
  std::snprintf(text, sizeof text, "SIM-%06d", 100001 + k);
  return text;
}

UnitConfig rigUnitConfig(int k, const RigOptions& options, std::shared_ptr<PartTally> tally) {
  UnitConfig config;
  config.name = "unit " + std::to_string(k + 1);
  config.serialText = rigSerialText(k);
  config.dateTimeId = rigDateTimeId(k, options.units);
  config.timing = options.model;
  config.timing.enabled = options.timing;
  config.discardData = options.discardData;
  config.gang = rigGangConfig(k, options, std::move(tally));
  if (!options.sdCardRoot.empty()) {
    config.sdCardFolder = options.sdCardRoot / ("Site" + std::to_string(k + 1));
    std::error_code ec;  // a folder that cannot be made reads as a missing card
    std::filesystem::create_directories(config.sdCardFolder, ec);
  }
  return config;
}

SimRig makeSimRig(const RigOptions& options) {
  SimRig rig;
  rig.bus = std::make_unique<SimBus>();
  rig.bus->find_busses();
  for (int k = 0; k < options.units; ++k) {
    auto unit = std::make_shared<SimUnit>(rigUnitConfig(k, options, rig.tally));
    rig.bus->plug(unit);
    rig.units.push_back(std::move(unit));
  }
  return rig;
}

SimRig makeSimRig(int units, bool timing) {
  RigOptions options;
  options.units = units;
  options.timing = timing;
  return makeSimRig(options);
}

}  // namespace sim
