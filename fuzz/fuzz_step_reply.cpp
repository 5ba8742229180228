// A unit's step reply of any content and length, with driver values and pin names taken from
// the input, through every step report, the insert detection, the unit message and the bad
// block count. Input: step code (2 bytes), flags (1), seven driver slots (4 each), 56 pin
// name selectors (1 each), then the reply.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/command_block.h"
#include "project/driver_slots.h"
#include "project/pin_names.h"
#include "sim/sim_factory.h"
#include "site/ops/bad_blocks.h"
#include "site/ops/insert_report.h"
#include "site/ops/step_report.h"
#include "site/ops/unit_message.h"
#include "site/site_context.h"
#include "site/site_system.h"

namespace {

constexpr std::array kFuzzedSlots{DriverSlot::PinLevelLow,      DriverSlot::PinLevelHigh,
                                  DriverSlot::PinIgnoreLow,     DriverSlot::PinIgnoreHigh,
                                  DriverSlot::ShowErrorAddress, DriverSlot::PinCount,
                                  DriverSlot::DataMask};
constexpr std::size_t kHeader = 3 + 4 * kFuzzedSlots.size() + kUcfPinCount;

class CheckingLog final : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t, std::uint8_t, std::uint8_t) override {
    if (text.rfind("Site #4 - ", 0) != 0) __builtin_trap();
  }
};

// One system on a bus without units, made once: the reports see site 3 through its context.
struct ReportSite {
  CheckingLog log;
  sim::SimRig rig = sim::makeSimRig(0);
  SiteSystem system{*rig.bus, Config(log)};

  static SiteSystemConfig Config(LogSink& sink) {
    SiteSystemConfig config;
    config.LogOverride = &sink;
    return config;
  }
};

void FillDriver(std::span<const std::uint8_t> header, ZV_Driver_INI& driver) {
  for (std::size_t k = 0; k < kFuzzedSlots.size(); ++k) {
    driver.Values[kFuzzedSlots[k]] = GetLe32(&header[3 + 4 * k]);
  }
  for (std::size_t pin = 0; pin < kUcfPinCount; ++pin) {
    // Selectors past the table give names the table does not hold.
    driver.UcfPin[pin] = PinName(header[3 + 4 * kFuzzedSlots.size() + pin] % 64);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeader) return 0;
  const std::span<const std::uint8_t> input(data, size);
  const std::span<const std::uint8_t> reply = input.subspan(kHeader);
  static ReportSite site;
  ProjectRecords& records = site.system.Project().Records();
  ZV_Driver_INI& driver = records.DriverIni[3];
  driver = ZV_Driver_INI{};
  FillDriver(input, driver);
  SiteProcessPlan& plan = records.ProcessPlan[3];
  plan = SiteProcessPlan{};
  plan.SocketCode[0] = (input[2] & 1) ? kPlanEnabled : kPlanDisabled;
  records.ProjectValue[3].Step[StepFlag::Pinscan] = (input[2] & 2) != 0 ? 1 : 0;
  SiteRunBytes& bytes = site.system.RunBytes(3);
  LogSink& log = site.log;
  const SiteContext at(site.system, 3);

  const SiteResult result = ReportStepResult(at, GetLe16(data), reply);
  if (result < SiteResultCode::Pass || result > SiteResultCode::OverCurrentVppVhh) __builtin_trap();
  ReportInsertDetect(at, reply, (input[2] & 4) != 0);
  const std::uint8_t verdict = reply.size() > 55 ? reply[55] : kFill;
  if (bytes.InsertState != verdict) __builtin_trap();
  ReportUnitMessage(log, 3, reply);
  LogStepStart(log, 3, GetLe16(data));
  ReportBadBlocks(log, 3, reply, driver.Values[DriverSlot::PinCount]);
  return 0;
}
