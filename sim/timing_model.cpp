#include "sim/timing_model.h"

#include "sim/command_block.h"

namespace sim {

std::chrono::nanoseconds TimingModel::lineTime(std::uint64_t bytes) const {
  if (!enabled || bytesPerSecond <= 0) return std::chrono::nanoseconds(0);
  return std::chrono::nanoseconds(
      static_cast<std::int64_t>(static_cast<double>(bytes) * 1e9 / bytesPerSecond));
}

std::chrono::microseconds TimingModel::durationOf(std::uint16_t code) const {
  if (!enabled) return std::chrono::microseconds(0);
  auto it = commandDurations.find(code);
  return it == commandDurations.end() ? defaultCommandDuration : it->second;
}

TimingModel TimingModel::realistic() {
  using std::chrono::microseconds;
  using std::chrono::milliseconds;
  TimingModel t;
  t.enabled = true;
  t.defaultCommandDuration = microseconds(2000);
  // Steps that touch a part take visibly long, so demos show the panels working.
  t.commandDurations = {
      {Code::CheckUsbPower, milliseconds(50)},
      {Code::FpgaInit, milliseconds(120)},
      {Code::CheckDriverCrc, milliseconds(30)},
      {Code::SelfTest, milliseconds(800)},
      {Code::EepromRead, milliseconds(5)},
      {Code::UpdateMasterBios, milliseconds(1500)},
      {0x17E8, milliseconds(40)},    // insert detect
      {0x18E7, milliseconds(30)},    // ID check
      {0x12ED, milliseconds(900)},   // chip erase
      {0x11EE, milliseconds(400)},   // blank check
      {0x13EC, milliseconds(1200)},  // program
      {0x14EB, milliseconds(600)},   // verify
      {0x15EA, milliseconds(100)},   // protect
      {0x22DD, milliseconds(100)},   // unprotect
      {0x25DA, milliseconds(300)},   // bad block scan
  };
  return t;
}

}  // namespace sim
