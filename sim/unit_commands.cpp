#include "sim/unit_commands.h"

#include <string>

#include "sim/crc32.h"
#include "sim/procedure_commands.h"
#include "sim/sim_unit.h"
#include "sim/unit_memory.h"

namespace sim {

namespace {

inline constexpr std::uint32_t kDriverImageMax = 0xC0000;
inline constexpr std::uint32_t kFirmwareImageSize = 0x80000;
inline constexpr std::uint32_t kFirmwareTrailer = 0x7FFF4;
inline constexpr std::uint32_t kFirmwareCoveredMax = 0x7FC00;
inline constexpr std::uint8_t kBadImage = 0xA2;
inline constexpr std::uint32_t kFpgaId = 0x00A5C3E1;
inline constexpr std::uint32_t kFpgaImageSize = 0x24C00;
inline constexpr std::uint32_t kSelfTestArea = 0x100000;
inline constexpr std::uint8_t kSelfTestFailed = 0xA2;

// Commands that only need to be accepted and completed.
CommandHandler passWith(bool PreparationState::*flag) {
  return [flag](CommandContext& ctx) {
    if (flag) ctx.state<PreparationState>().*flag = true;
    ctx.complete(Ack::Pass);
  };
}

void checkDriverCrc(CommandContext& ctx) {
  auto& state = ctx.state<PreparationState>();
  const std::uint32_t length = ctx.block().p(4);
  state.driverLength = length;
  state.driverCrcGood = false;
  if (length > kDriverImageMax) {
    ctx.protocolError("driver image length " + std::to_string(length) + " too large");
    ctx.complete(Ack::Fail);
    return;
  }
  const auto image = ctx.memory().readVector(UnitAddress::DriverImage, length);
  state.driverCrcGood = crc32(image) == ctx.block().argument2;
  ctx.complete(state.driverCrcGood ? Ack::Pass : Ack::Fail);
}

void hardwareInit(CommandContext& ctx) {
  auto& state = ctx.state<PreparationState>();
  const auto image = ctx.memory().readVector(UnitAddress::SettingsImage, 4 * kHardwareValueCount);
  for (std::size_t i = 0; i < kHardwareValueCount; ++i) {
    state.hardwareValues[i] = static_cast<std::int32_t>(readLe32(image.data() + 4 * i));
  }
  state.hardwareSet = true;
  ctx.complete(Ack::Pass);
}

// An FPGA cannot be configured from erased memory: the image must have arrived first.
void fpgaInit(CommandContext& ctx) {
  auto& state = ctx.state<PreparationState>();
  state.fpgaReady = ctx.memory().firstNot(UnitAddress::FpgaImage, kFpgaImageSize, 0xFF).has_value();
  ctx.complete(state.fpgaReady ? Ack::Pass : Ack::Fail);
}

void getFpgaId(CommandContext& ctx) {
  auto reply = makeReply(Ack::Pass);
  writeLe32(reply.data() + 4, kFpgaId);
  ctx.complete(reply);
}

void firmwareNumber(CommandContext& ctx) {
  auto reply = makeReply(Ack::Pass);
  reply[ReplyOffset::FirmwareNumber] = ctx.firmware().number;
  ctx.complete(reply);
}

void firmwareVersion(CommandContext& ctx) {
  auto reply = makeReply(Ack::Pass);
  const auto& v = ctx.firmware().version;
  std::copy(v.begin(), v.end(), reply.begin() + ReplyOffset::FirmwareVersion);
  ctx.complete(reply);
}

void resetUnit(CommandContext& ctx) {
  ctx.accept();
  ctx.leaveBus(kRestartTime);
}

// The message the self test leaves in memory: result byte, a zero, then the text.
void selfTest(CommandContext& ctx) {
  const std::uint32_t address = ctx.block().p(3);
  const MaintenanceState& state = ctx.state<MaintenanceState>();
  const bool fails = state.selfTestFails;
  const std::string standard = fails ? "SDRAM Test Pass, FPGA Test Fail, USB Test Pass"
                                     : "SDRAM Test Pass, FPGA Test Pass, USB Test Pass";
  const std::string text = state.selfTestText.empty() ? standard : state.selfTestText;
  std::vector<std::uint8_t> message{fails ? Ack::Fail : Ack::Pass, 0};
  message.insert(message.end(), text.begin(), text.end());
  // The PC reads 1 MiB back and keeps every non-zero byte: the rest of the area is zeroed.
  if (!ctx.memory().fill(address, kSelfTestArea, 0) || !ctx.memory().write(address, message)) {
    ctx.complete(Ack::Fail);
    return;
  }
  ctx.complete(fails ? kSelfTestFailed : Ack::Pass);
}

// The operator sees "Push Key" at the look that finds no press, and presses the key a moment
// later (model time).
bool operatorPressed(CommandContext& ctx, MaintenanceState& state) {
  const OperatorOptions& hand = ctx.gang().hand;
  if (!hand.enabled) return false;
  const auto now = std::chrono::steady_clock::now();
  if (!state.operatorPressDue) {
    state.operatorPressDue = now + ctx.timing().realTime(hand.meanInsertDelay());
    return false;
  }
  if (now < *state.operatorPressDue) return false;
  state.operatorPressDue.reset();
  return true;
}

void detectStartKey(CommandContext& ctx) {
  auto& state = ctx.state<MaintenanceState>();
  bool pressed = state.startKeyPresses > 0;
  if (pressed) {
    --state.startKeyPresses;
  } else {
    pressed = operatorPressed(ctx, state);
  }
  ctx.complete(pressed ? Ack::Pass : Ack::Fail);
}

void burnIn(CommandContext& ctx) {
  ctx.state<MaintenanceState>().burnInRunning = true;
  ctx.accept();  // the burn-in runs unattended; no result is ever sent
}

void powerLedFlash(CommandContext& ctx) {
  ++ctx.state<MaintenanceState>().ledFlashes;
  ctx.complete(Ack::Pass);
}

void ioMode(CommandContext& ctx) {
  ctx.state<MaintenanceState>().ioModeSet = true;
}

// The image's trailer: version bytes, covered length, CRC-32 of the covered bytes.
void updateMasterFirmware(CommandContext& ctx) {
  const auto image = ctx.memory().readVector(UnitAddress::SettingsImage, kFirmwareImageSize);
  const std::uint32_t covered = readLe32(image.data() + kFirmwareTrailer + 4);
  const std::uint32_t crc = readLe32(image.data() + kFirmwareTrailer + 8);
  if (covered > kFirmwareCoveredMax || crc32({image.data(), covered}) != crc) {
    ctx.complete(kBadImage);
    return;
  }
  std::copy_n(image.begin() + kFirmwareTrailer, 4, ctx.firmware().version.begin());
  ctx.complete(Ack::Pass);
}

}  // namespace

void installPreparationCommands(CommandRegistry& registry) {
  registry.add(Code::CheckUsbPower, passWith(nullptr));
  registry.add(Code::HardwareInit, hardwareInit);
  registry.add(Code::DriverIniSetting, [](CommandContext& ctx) {
    learnPartKind(ctx);
    passWith (&PreparationState::driverSettingsSet)(ctx);
  });
  registry.add(Code::FpgaInit, fpgaInit);
  registry.add(Code::CheckDriverCrc, checkDriverCrc);
  registry.add(Code::GetFpgaId, getFpgaId);
}

void installMaintenanceCommands(CommandRegistry& registry) {
  registry.add(Code::PowerLedFlash, powerLedFlash);
  registry.add(Code::BiosNumberGet, firmwareNumber);
  registry.add(Code::BiosVersionGet, firmwareVersion);
  registry.add(Code::Reset, resetUnit);
  registry.add(Code::SelfTest, selfTest);
  registry.add(Code::DetectStartKey, detectStartKey);
  registry.add(Code::BurnInTest, burnIn);
  registry.addFrame(FrameType::IoMode, ioMode);
}

void installFirmwareCommands(CommandRegistry& registry) {
  registry.add(Code::UpdateMasterBios, updateMasterFirmware);
}

}  // namespace sim
