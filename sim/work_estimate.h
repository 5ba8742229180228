#pragma once
// The timing model's own minimum for a piece of work, so that a benchmark can state the
// program's overhead as a ratio: measured wall time / `WorkTime::real`.
//
// The minimum assumes the units work in step, as the program starts them together: the bulk
// bytes of all units share the bus's one link (their sum at the link rate), and each unit
// then adds its own command turnarounds, command durations, part steps, card writes and
// operator delays. Wire bytes count whole: command blocks (1024), replies and
// acknowledgements (512), chunks padded to their chunk length. The program's own pauses (the
// 10 ms before each announced chunk, its poll interval) are overhead, not in the minimum.
#include <chrono>
#include <cstdint>
#include <vector>

#include "sim/part_timing.h"
#include "sim/procedure_commands.h"
#include "sim/timing_model.h"
#include "sim/virtual_gang.h"

namespace sim {

struct PricedStep {
  std::uint16_t code = 0;
  std::uint64_t bytes = 0;  // what the step touches: the part (erase, blank) or its chunk
};

struct SdAccess {
  std::uint16_t code = 0;  // 0x728D write or 0x718E read
  std::uint64_t bytes = 0;
};

// What each of `units` units does, working at once on one bus.
struct Workload {
  int units = 1;
  std::uint64_t busBytesPerUnit = 0;      // both directions, blocks and replies included
  std::vector<std::uint16_t> completing;  // commands answered twice: max(turnaround, duration)
  std::uint32_t acceptedOnly = 0;         // commands answered once (transfers, merge)
  PartKind part = PartKind::Default;
  std::vector<PricedStep> steps;          // procedure steps on the part
  std::vector<SdAccess> card;             // SD card reads and writes
  std::chrono::nanoseconds unitExtra{0};  // model time besides: the operator's hand

  // Appends `other` (same units) after this work.
  Workload& operator+=(const Workload& other);
};

struct WorkTime {
  std::chrono::nanoseconds bus{0};    // all units' bytes on the shared link
  std::chrono::nanoseconds unit{0};   // one unit's commands, steps, card and extras
  std::chrono::nanoseconds total{0};  // bus + unit: model time
  std::chrono::nanoseconds real{0};   // total / scale: what the wall clock can reach at best
};

WorkTime minimumTime(const TimingModel& model, const Workload& work);

// The steps the PC lists for a part that is not block-organised, in its order.
struct StepSelection {
  bool insertDetect = false;
  bool idCheck = false;
  bool erase = true;
  bool blankCheck = false;
  bool program = true;
  bool verify = true;
};
std::vector<std::uint16_t> procedureSteps(std::uint64_t dataLength, const StepSelection& selection,
                                          std::uint32_t chunkLength = kDataChunkLength);

// A run of `steps` as the unit runs it: data chunk steps stream min(chunk, rest) bytes
// (padded to whole 1 MiB transfer chunks, each acknowledged), and the chunk index restarts
// at Program followed two steps later by Verify.
Workload runWork(const std::vector<std::uint16_t>& steps, std::uint64_t dataLength,
                 std::uint64_t partBytes, std::uint32_t chunkLength = kDataChunkLength);

// (a) The preparation of a unit (power check, hardware and driver settings, driver and FPGA
// images) followed by RUN ALL (procedure list, driver options, merge, the run) of an image.
Workload preparationWork(int units);
Workload runAllWork(int units, std::uint64_t imageBytes, PartKind part,
                    const StepSelection& selection);
Workload programmingWork(int units, std::uint64_t imageBytes, PartKind part,
                         const StepSelection& selection);

// (b) One part of the automatic loop on each unit: detection before the run, RUN ALL, the
// detection that shows TAKE, the one that finds the socket empty and the one that finds the
// next part; plus the operator's mean delays to take the part out and put the next one in.
Workload autoLoopCycleWork(int units, std::uint64_t imageBytes, PartKind part,
                           const StepSelection& selection, const OperatorOptions& hand);
// Parts per hour of a cycle (every unit finishes one part per cycle), in model time.
double partsPerHour(const TimingModel& model, const Workload& cycle);

// (c) A firmware update: firmware number and version, the 512 KiB image, the unit writing
// it to its stores, the reset.
Workload firmwareUpdateWork(int units);

// (d) Files of a project written to each unit's SD card: in pieces of at most 60 MiB, each
// sent to the unit's memory and then written to the card.
Workload sdProjectWork(int units, const std::vector<std::uint64_t>& fileBytes);

}  // namespace sim
