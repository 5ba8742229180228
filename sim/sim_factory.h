#pragma once
// Ready-made simulated rigs for the program's start-up and for tests: a bus with N units
// plugged in bus order, whose serial texts and date-time identifiers differ. The identifiers
// are not in bus order, so that ordering the sites by them visibly moves units.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_bus.h"
#include "sim/sim_unit.h"
#include "sim/timing_model.h"
#include "sim/virtual_gang.h"

namespace sim {

struct RigOptions {
  int units = 8;
  bool timing = false;                           // off for tests, on for demos
  TimingModel model = TimingModel::realistic();  // used when `timing` is on (`model.scale`)
  bool discardData = false;
  std::filesystem::path sdCardRoot;  // when set, unit k keeps its card in sdCardRoot/"SiteK"

  // The virtual operator: on unless a test switches it off; `hand.enabled` is ignored.
  bool virtualOperator = true;
  OperatorOptions hand;
  // The share of runs whose part fails (0..1), and how; `failMix` as FailMix has it.
  double failRate = 0;
  FailMix failMix;
  // Seeds the operator's delays and the failing parts; each unit draws its own stream.
  std::uint64_t seed = 1;
  // The kind of part in every socket; none: each unit learns it from the driver settings.
  std::optional<PartKind> partKind;
};

struct SimRig {
  std::unique_ptr<SimBus> bus;
  std::vector<std::shared_ptr<SimUnit>> units;                       // in bus order
  std::shared_ptr<PartTally> tally = std::make_shared<PartTally>();  // all units' parts

  std::uint64_t partsGood() const { return tally->good.load(); }
  std::uint64_t partsFailed() const { return tally->failed.load(); }
};

// Unit k (0-based, bus order) of a rig of `total`: its serial text and identifier.
std::string rigSerialText(int k);
std::uint64_t rigDateTimeId(int k, int total);
// The position (0-based) unit k takes when the units are ordered by identifier.
int rigOrderRank(int k, int total);
// Unit k's configuration; `tally` (may be null) counts the parts of the whole rig.
UnitConfig rigUnitConfig(int k, const RigOptions& options,
                         std::shared_ptr<PartTally> tally = nullptr);

SimRig makeSimRig(const RigOptions& options = {});
// Shorthand: `units` units, timing on or off, everything else as RigOptions has it.
SimRig makeSimRig(int units, bool timing = false);

}  // namespace sim
