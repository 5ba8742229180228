#include "sim/work_estimate.h"

#include <algorithm>

#include "sim/command_block.h"

namespace sim {

namespace {

using std::chrono::nanoseconds;

inline constexpr std::uint64_t kTransferChunk = 0x100000;
inline constexpr std::uint64_t kSmallChunk = 1024;
inline constexpr std::uint64_t kCardPiece = 0x3C00000;
// Buffers the PC sends before a unit can run.
inline constexpr std::uint64_t kSettingsImage = 0x4000;
inline constexpr std::uint64_t kDriverImage = 0xC0000;
inline constexpr std::uint64_t kFpgaImage = 0x24C00;
inline constexpr std::uint64_t kProcedureList = 0x10000;
inline constexpr std::uint64_t kDriverOption = 0x10000;
inline constexpr std::uint64_t kFirmwareImage = 0x80000;
inline constexpr int kDetectionsPerCycle = 4;

std::uint64_t ceilDiv(std::uint64_t n, std::uint64_t d) {
  return (n + d - 1) / d;
}

// Chunks of `chunk` bytes covering `n`, each followed by its acknowledgement.
std::uint64_t chunkedBytes(std::uint64_t n, std::uint64_t chunk) {
  return ceilDiv(n, chunk) * (chunk + kReplySize);
}

// A command answered once (an announced transfer, the merge).
void acceptedCommand(Workload& w) {
  ++w.acceptedOnly;
  w.busBytesPerUnit += kBlockSize + kReplySize;
}

void completingCommand(Workload& w, std::uint16_t code) {
  w.completing.push_back(code);
  w.busBytesPerUnit += kBlockSize + 2 * kReplySize;
}

// An announced buffer: 1024-byte chunks up to 1 KiB, one chunk below 1 MiB, 1 MiB chunks above.
void sendBuffer(Workload& w, std::uint64_t n) {
  acceptedCommand(w);
  const std::uint64_t chunk = n <= kSmallChunk ? kSmallChunk : std::min(n, kTransferChunk);
  w.busBytesPerUnit += chunkedBytes(n, chunk);
}

// An announced buffer in fixed chunks: 1 KiB up to 1 KiB, else 1 MiB.
void sendBufferFixed(Workload& w, std::uint64_t n) {
  acceptedCommand(w);
  w.busBytesPerUnit += chunkedBytes(n, n <= kSmallChunk ? kSmallChunk : kTransferChunk);
}

Workload forUnits(int units) {
  Workload w;
  w.units = units;
  return w;
}

}  // namespace

Workload& Workload::operator+=(const Workload& other) {
  busBytesPerUnit += other.busBytesPerUnit;
  completing.insert(completing.end(), other.completing.begin(), other.completing.end());
  acceptedOnly += other.acceptedOnly;
  if (!other.steps.empty()) part = other.part;
  steps.insert(steps.end(), other.steps.begin(), other.steps.end());
  card.insert(card.end(), other.card.begin(), other.card.end());
  unitExtra += other.unitExtra;
  return *this;
}

WorkTime minimumTime(const TimingModel& model, const Workload& work) {
  WorkTime t;
  const auto units = static_cast<std::uint64_t>(std::max(work.units, 0));
  t.bus = model.lineTime(units * work.busBytesPerUnit);
  const nanoseconds turn = model.turnaround();
  t.unit = turn * work.acceptedOnly;
  for (std::uint16_t code : work.completing) {
    t.unit += std::max(turn, nanoseconds(model.durationOf(code)));
  }
  for (const PricedStep& step : work.steps)
    t.unit += model.stepTime(step.code, work.part, step.bytes);
  for (const SdAccess& access : work.card) {
    t.unit += std::max(turn, model.sdTime(access.code, access.bytes));
  }
  if (model.enabled) t.unit += work.unitExtra;
  t.total = t.bus + t.unit;
  t.real = model.realTime(t.total);
  return t;
}

std::vector<std::uint16_t> procedureSteps(std::uint64_t dataLength, const StepSelection& selection,
                                          std::uint32_t chunkLength) {
  std::vector<std::uint16_t> list;
  if (selection.insertDetect) list.push_back(StepCode::InsertDetect);
  if (selection.idCheck) list.push_back(StepCode::IdCheck);
  if (selection.erase) list.push_back(StepCode::ChipErase);
  if (selection.blankCheck) list.push_back(StepCode::BlankCheck);
  const std::uint64_t chunks =
      std::max<std::uint64_t>(ceilDiv(dataLength, std::max(chunkLength, 1u)), 1);
  if (selection.program) {
    for (std::uint64_t c = 0; c < chunks; ++c) {
      list.push_back(StepCode::DataChunk);
      list.push_back(StepCode::Program);
    }
  }
  if (selection.verify) {
    for (std::uint64_t c = 0; c < chunks; ++c) {
      // One chunk already in the unit's buffer from Program is verified without a resend.
      if (chunks > 1 || !selection.program) list.push_back(StepCode::DataChunk);
      list.push_back(StepCode::Verify);
    }
  }
  return list;
}

Workload runWork(const std::vector<std::uint16_t>& steps, std::uint64_t dataLength,
                 std::uint64_t partBytes, std::uint32_t chunkLength) {
  Workload w;
  const std::uint64_t chunk = std::max<std::uint32_t>(chunkLength, 1);
  std::uint64_t index = 0;
  std::uint64_t lastLength = 0;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::uint16_t code = steps[i];
    if (code == StepCode::DataChunk) {
      const std::uint64_t offset = index++ * chunk;
      lastLength = dataLength > offset ? std::min(chunk, dataLength - offset) : 0;
      const std::uint64_t piece = lastLength <= kSmallChunk ? kSmallChunk : kTransferChunk;
      w.busBytesPerUnit += chunkedBytes(std::max<std::uint64_t>(lastLength, 1), piece);
      continue;
    }
    if (code == StepCode::Program && i + 2 < steps.size() && steps[i + 2] == StepCode::Verify) {
      index = 0;
    }
    const bool onChunk = code == StepCode::Program || code == StepCode::Verify;
    w.steps.push_back({code, onChunk ? lastLength : partBytes});
    w.busBytesPerUnit += kReplySize;
  }
  return w;
}

Workload preparationWork(int units) {
  Workload w = forUnits(units);
  completingCommand(w, Code::CheckUsbPower);
  sendBuffer(w, kSettingsImage);
  completingCommand(w, Code::HardwareInit);
  sendBuffer(w, kSettingsImage);
  completingCommand(w, Code::DriverIniSetting);
  sendBuffer(w, kDriverImage);
  completingCommand(w, Code::CheckDriverCrc);
  sendBuffer(w, kFpgaImage);
  completingCommand(w, Code::FpgaInit);
  return w;
}

Workload runAllWork(int units, std::uint64_t imageBytes, PartKind part,
                    const StepSelection& selection) {
  Workload w = forUnits(units);
  sendBuffer(w, kProcedureList);
  sendBuffer(w, kDriverOption);
  acceptedCommand(w);  // the merge
  w += runWork(procedureSteps(imageBytes, selection), imageBytes, imageBytes);
  w.part = part;
  return w;
}

Workload programmingWork(int units, std::uint64_t imageBytes, PartKind part,
                         const StepSelection& selection) {
  Workload w = preparationWork(units);
  w += runAllWork(units, imageBytes, part, selection);
  return w;
}

Workload autoLoopCycleWork(int units, std::uint64_t imageBytes, PartKind part,
                           const StepSelection& selection, const OperatorOptions& hand) {
  Workload w = runAllWork(units, imageBytes, part, selection);
  for (int k = 0; k < kDetectionsPerCycle; ++k) completingCommand(w, Code::InsertDetect);
  w.unitExtra += hand.meanRemoveDelay() + hand.meanInsertDelay();
  return w;
}

double partsPerHour(const TimingModel& model, const Workload& cycle) {
  const auto total = minimumTime(model, cycle).total;
  if (total.count() <= 0) return 0;
  const double hour = 3600e9;
  return static_cast<double>(cycle.units) * hour / static_cast<double>(total.count());
}

Workload firmwareUpdateWork(int units) {
  Workload w = forUnits(units);
  completingCommand(w, Code::BiosNumberGet);
  completingCommand(w, Code::BiosVersionGet);
  sendBuffer(w, kFirmwareImage);
  completingCommand(w, Code::UpdateMasterBios);
  acceptedCommand(w);  // the reset: accepted, then the unit leaves the bus
  return w;
}

Workload sdProjectWork(int units, const std::vector<std::uint64_t>& fileBytes) {
  Workload w = forUnits(units);
  for (std::uint64_t size : fileBytes) {
    for (std::uint64_t offset = 0; offset < size; offset += kCardPiece) {
      const std::uint64_t piece = std::min(kCardPiece, size - offset);
      sendBufferFixed(w, piece);
      w.card.push_back({Code::SdWriteData, piece});
      w.busBytesPerUnit += kBlockSize + 2 * kReplySize;
    }
  }
  return w;
}

}  // namespace sim
