#pragma once
// Ready-made simulated rigs for the program's start-up and for tests: a bus with N units
// plugged in bus order, whose serial texts and date-time identifiers differ. The identifiers
// are not in bus order, so that ordering the sites by them visibly moves units.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_bus.h"
#include "sim/sim_unit.h"
#include "sim/timing_model.h"

namespace sim {

struct RigOptions {
  int units = 8;
  bool timing = false;                           // off for tests, on for demos
  TimingModel model = TimingModel::realistic();  // used when `timing` is on
  bool discardData = false;
  std::filesystem::path sdCardRoot;  // when set, unit k keeps its card in sdCardRoot/"SiteK"
};

struct SimRig {
  std::unique_ptr<SimBus> bus;
  std::vector<std::shared_ptr<SimUnit>> units;  // in bus order
};

// Unit k (0-based, bus order) of a rig of `total`: its serial text and identifier.
std::string rigSerialText(int k);
std::uint64_t rigDateTimeId(int k, int total);
// The position (0-based) unit k takes when the units are ordered by identifier.
int rigOrderRank(int k, int total);
UnitConfig rigUnitConfig(int k, const RigOptions& options);

SimRig makeSimRig(const RigOptions& options = {});
// Shorthand: `units` units, timing on or off, everything else as RigOptions has it.
SimRig makeSimRig(int units, bool timing = false);

}  // namespace sim
