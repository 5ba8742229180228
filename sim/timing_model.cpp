#include "sim/timing_model.h"

#include <cmath>

#include "sim/command_block.h"

namespace sim {

namespace {

using std::chrono::nanoseconds;

// Procedure step codes whose time grows with the bytes they touch.
inline constexpr std::uint16_t kBlankCheck = 0x11EE;
inline constexpr std::uint16_t kChipErase = 0x12ED;
inline constexpr std::uint16_t kProgram = 0x13EC;
inline constexpr std::uint16_t kVerify = 0x14EB;
inline constexpr std::uint16_t kReadPart = 0x19E6;

nanoseconds perByte(double nsPerByte, std::uint64_t bytes) {
  return nanoseconds(
      static_cast<std::int64_t>(std::llround(nsPerByte * static_cast<double>(bytes))));
}

nanoseconds atRate(double bytesPerSecond, std::uint64_t bytes) {
  if (bytesPerSecond <= 0) return nanoseconds(0);
  return perByte(1e9 / bytesPerSecond, bytes);
}

}  // namespace

nanoseconds TimingModel::lineTime(std::uint64_t bytes) const {
  return enabled ? atRate(bytesPerSecond, bytes) : nanoseconds(0);
}

std::chrono::microseconds TimingModel::durationOf(std::uint16_t code) const {
  if (!enabled) return std::chrono::microseconds(0);
  auto it = commandDurations.find(code);
  return it == commandDurations.end() ? defaultCommandDuration : it->second;
}

nanoseconds TimingModel::turnaround() const {
  return enabled ? nanoseconds(commandTurnaround) : nanoseconds(0);
}

nanoseconds TimingModel::stepTime(std::uint16_t code, PartKind kind, std::uint64_t bytes) const {
  if (!enabled) return nanoseconds(0);
  const PartTiming& part = parts[static_cast<std::size_t>(kind)];
  const nanoseconds overhead(stepOverhead);
  switch (code) {
    case kChipErase:
      return overhead + perByte(part.eraseNsPerByte, bytes);
    case kBlankCheck:
      return overhead + perByte(part.blankCheckNsPerByte, bytes);
    case kProgram:
      return overhead + perByte(part.programNsPerByte, bytes);
    case kVerify:
      return overhead + perByte(part.verifyNsPerByte, bytes);
    case kReadPart:
      return overhead + perByte(part.readNsPerByte, bytes);
    default: {
      auto it = commandDurations.find(code);
      return it == commandDurations.end() ? overhead : overhead + nanoseconds(it->second);
    }
  }
}

nanoseconds TimingModel::sdTime(std::uint16_t code, std::uint64_t bytes) const {
  if (!enabled) return nanoseconds(0);
  const double rate = code == Code::SdReadData ? sdReadBytesPerSecond : sdWriteBytesPerSecond;
  return nanoseconds(durationOf(code)) + atRate(rate, bytes);
}

nanoseconds TimingModel::realTime(nanoseconds model) const {
  if (!enabled || model.count() <= 0) return nanoseconds(0);
  if (scale <= 0 || scale == 1.0) return model;
  return nanoseconds(static_cast<std::int64_t>(static_cast<double>(model.count()) / scale));
}

TimingModel TimingModel::realistic() {
  using std::chrono::milliseconds;
  TimingModel t;
  t.enabled = true;
  // Commands and the steps whose time does not depend on the part's size.
  t.commandDurations = {
      {Code::CheckUsbPower, milliseconds(50)},
      {Code::FpgaInit, milliseconds(120)},
      {Code::CheckDriverCrc, milliseconds(30)},
      {Code::SelfTest, milliseconds(800)},
      {Code::EepromRead, milliseconds(5)},
      {Code::UpdateMasterBios, milliseconds(1500)},
      {Code::InsertDetect, milliseconds(40)},
      {0x18E7, milliseconds(30)},   // ID check
      {0x15EA, milliseconds(100)},  // protect
      {0x22DD, milliseconds(100)},  // unprotect
      {0x25DA, milliseconds(300)},  // bad block scan
  };
  return t;
}

}  // namespace sim
