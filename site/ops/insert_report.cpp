#include "site/ops/insert_report.h"

#include <string>

#include "project/driver_slots.h"
#include "project/pin_names.h"
#include "site/ops/step_reply.h"
#include "site/site_run_bytes.h"

namespace {

constexpr int kPinScanDigits = 8;

// Where the driver's pins sit in the 56-pin socket: driver pins 0..47 on socket pins 5..52,
// 48..51 on 1..4, 52..55 on 53..56.
constexpr std::size_t kFirstCornerPin = 48;
constexpr std::size_t kFirstTopPin = 52;
constexpr std::int64_t kMainPinShift = 5;
constexpr std::int64_t kCornerPinShift = -47;
constexpr std::int64_t kTopPinShift = 1;

std::int64_t SocketPinOf(std::size_t driverPin) {
  const auto pin = static_cast<std::int64_t>(driverPin);
  if (driverPin < kFirstCornerPin) return pin + kMainPinShift;
  if (driverPin < kFirstTopPin) return pin + kCornerPinShift;
  return pin + kTopPinShift;
}

std::uint64_t SlotPair(const ZV_Driver_INI& driver, std::size_t low, std::size_t high) {
  return std::uint64_t{driver.Value(low)} | (std::uint64_t{driver.Value(high)} << 32);
}

std::uint64_t NotExamined(const ZV_Driver_INI& driver) {
  return SlotPair(driver, DriverSlot::PinIgnoreLow, DriverSlot::PinIgnoreHigh);
}

void ReportVerdict(const SiteContext& at, const StepReply& reply) {
  switch (reply.Verdict()) {
    case ReplyVerdict::Pass:
      LogReport(at, " - Insert Detect Pass", LogColour::Green);
      return;
    case ReplyVerdict::Empty:
      LogReport(at, " - IC Was Not Detected!", LogColour::Red);
      return;
    default:
      if (at.PinscanCheck()) {
        LogReport(at, " - PinScan = 0x" + HexDigits(reply.PinScan(), kPinScanDigits),
                  LogColour::Red);
        LogReport(at, " - Insert Detect Fail!", LogColour::Red);
      } else {
        LogReport(at, " - Ignore Insert Detect!", LogColour::Orange);
      }
  }
}

}  // namespace

std::uint64_t FailingPins(const ZV_Driver_INI& driver, std::uint64_t pinScan) {
  const std::uint64_t expected =
      SlotPair(driver, DriverSlot::PinLevelLow, DriverSlot::PinLevelHigh);
  return (pinScan ^ expected) & ~NotExamined(driver);
}

std::string FailingPinList(const ZV_Driver_INI& driver, std::uint64_t failing) {
  // The part sits centred in the 56-pin socket; a pin count above 56 (a broken driver) only
  // shifts the numbers.
  const std::int64_t offset = (std::int64_t{kUcfPinCount} - driver.Value(DriverSlot::PinCount)) / 2;
  std::string list;
  for (std::size_t pin = 0; pin < kUcfPinCount; ++pin) {
    const std::optional<std::size_t> bit = PinBitOf(driver.UcfPin[pin]);
    if (!bit || ((failing >> *bit) & 1u) == 0) continue;
    list += std::to_string(SocketPinOf(pin) - offset) + ", ";
  }
  return list;
}

void ReportInsertDetect(const SiteContext& at, std::span<const std::uint8_t> bytes, bool report) {
  const StepReply reply(bytes);
  at.RunBytes().InsertState = reply.Verdict();
  at.RunBytes().PinState = reply.PinScan() | NotExamined(at.Driver());
  if (reply.Verdict() == ReplyVerdict::Fail && at.PinscanCheck() && report) {
    const std::string list = FailingPinList(at.Driver(), FailingPins(at.Driver(), reply.PinScan()));
    if (!list.empty()) LogReport(at, " - Pin " + list + " of IC is Fail!", LogColour::Red);
  }
  if (!SocketOneChosen(at)) return;
  if (report) ReportVerdict(at, reply);
  at.Plan().RunField[0] = reply.Verdict();
}

bool DetectionReachesState(SiteResult detection, const SiteRunBytes& runBytes) {
  const bool awaitingRemoval = runBytes.AutoRunPhase == AutoRunPhaseValue::AwaitRemoval;
  if (detection == SiteResultCode::Pass) return !awaitingRemoval;
  if (detection == SiteResultCode::Fail) {
    return awaitingRemoval && runBytes.InsertState == ReplyVerdict::Empty;
  }
  return false;
}
