#include "site/ops/step_report.h"

#include <algorithm>
#include <array>
#include <bit>
#include <string>
#include <string_view>

#include "link/standard_exchange.h"
#include "project/driver_slots.h"
#include "site/ops/insert_report.h"
#include "site/ops/step_reply.h"
#include "site/site_run_bytes.h"

namespace {

constexpr std::array kStepsWithStartLine{StepCode::BlankCheck, StepCode::ChipErase,
                                         StepCode::Program,    StepCode::Verify,
                                         StepCode::Protect,    StepCode::BadBlockScan};

constexpr int kAddressDigits = 8;
constexpr int kDataDigits = 4;

std::string Tail(std::string_view name, std::string_view suffix) {
  std::string text = " - ";
  text += name;
  text += suffix;
  return text;
}

// The over-current wording of a reply byte, or empty when the byte is no over-current code.
std::string_view OverCurrentSuffix(std::uint8_t result) {
  switch (result) {
    case SiteResultCode::OverCurrentAll:
      return " DUT VDD/VIO/VPP/VHH Over Current!";
    case SiteResultCode::OverCurrentVddVio:
      return " DUT VDD/VIO Over Current!";
    case SiteResultCode::OverCurrentVppVhh:
      return " DUT VPP/VHH Over Current!";
    default:
      return {};
  }
}

// Blank check and verify share their report; only the error line differs.
struct CompareReport {
  std::string_view Name;  // "Blank Check" or "Verify"
  bool ShowsExpectedData;
};

std::string ErrorDataLine(const CompareReport& kind, const StepReply& reply, std::uint32_t mask) {
  std::string text = Tail(kind.Name, " Error Address = 0x");
  text += HexDigits(reply.ErrorAddress(), kAddressDigits);
  if (kind.ShowsExpectedData) {
    text += ", Verify Data = 0x" + HexDigits(reply.ExpectedData() & mask, kDataDigits);
    text += ", Error IC Data = 0x";
  } else {
    text += ", IC Data = 0x";
  }
  text += HexDigits(reply.IcData() & mask, kDataDigits);
  return text;
}

void ReportCompare(const SiteContext& at, const CompareReport& kind, const StepReply& reply) {
  if (!SocketOneChosen(at)) return;
  if (reply.Verdict() == ReplyVerdict::Pass) {
    LogReport(at, Tail(kind.Name, " Pass"), LogColour::Green);
    return;
  }
  if (at.Driver().Value(DriverSlot::ShowErrorAddress) != 0 && reply.HasErrorData()) {
    const std::uint32_t mask = at.Driver().Value(DriverSlot::DataMask);
    // The data width is the low-order run of ones of the mask.
    const int width = std::countr_one(mask);
    LogReport(at, Tail(kind.Name, " Mode = " + std::to_string(width) + " Bits"), LogColour::Red);
    LogReport(at, ErrorDataLine(kind, reply, mask), LogColour::Red);
  }
  LogReport(at, Tail(kind.Name, " Fail!"), LogColour::Red);
}

void ReportGeneral(const SiteContext& at, std::string_view name, std::string_view successWord,
                   const StepReply& reply) {
  if (!SocketOneChosen(at)) return;
  switch (reply.Verdict()) {
    case ReplyVerdict::Pass:
      LogReport(at, Tail(name, successWord), LogColour::Green);
      break;
    case ReplyVerdict::Empty:
      LogReport(at, Tail(name, " Empty!"), LogColour::Red);
      break;
    default:
      LogReport(at, Tail(name, " Fail!"), LogColour::Red);
  }
}

void ReportIdCheck(const SiteContext& at, const StepReply& reply) {
  if (!SocketOneChosen(at)) return;
  LogReport(at,
            " - Manufacturer Code = 0x" + HexDigits(reply.ManufacturerCode(), kDataDigits) +
                ", Device Code = 0x" + HexDigits(reply.DeviceCode(), kDataDigits),
            LogColour::Black);
  if (reply.Verdict() == ReplyVerdict::Pass) {
    LogReport(at, " - ID Check Pass", LogColour::Green);
  } else {
    LogReport(at, " - ID Check Fail!", LogColour::Red);
  }
}

// A step without a report of its own says only whether the unit passed it.
void ReportPlain(const SiteContext& at, std::string_view name, SiteResult result) {
  if (result == SiteResultCode::Pass) {
    LogReport(at, Tail(name, " Pass"), LogColour::Green);
  } else {
    LogReport(at, Tail(name, " Fail!"), LogColour::Red);
  }
}

// The report of a step that answered 0xA0 or 0xA1.
void ReportAnswer(const SiteContext& at, std::uint16_t stepCode,
                  std::span<const std::uint8_t> bytes) {
  const StepReply reply(bytes);
  const std::string_view name = StepName(stepCode);
  switch (stepCode) {
    case StepCode::BlankCheck:
      return ReportCompare(at, {name, false}, reply);
    case StepCode::Verify:
      return ReportCompare(at, {name, true}, reply);
    case StepCode::ChipErase:
    case StepCode::Program:
      return ReportGeneral(at, name, " Finish", reply);
    case StepCode::Protect:
    case StepCode::UnProtect:
      return ReportGeneral(at, name, " Pass", reply);
    case StepCode::IdCheck:
      return ReportIdCheck(at, reply);
    case StepCode::InsertDetect:
      return ReportInsertDetect(at, bytes, true);
    default:
      return ReportPlain(at, name, reply.Result());
  }
}

}  // namespace

void LogStepStart(LogSink& log, int site, std::uint16_t stepCode) {
  if (std::find(kStepsWithStartLine.begin(), kStepsWithStartLine.end(), stepCode) ==
      kStepsWithStartLine.end()) {
    return;
  }
  LogSite(log, site, Tail(StepName(stepCode), ""), LogColour::Start);
}

SiteResult ReportStepResult(const SiteContext& at, std::uint16_t stepCode,
                            std::span<const std::uint8_t> reply) {
  const SiteResult result = StepReply(reply).Result();
  const std::string_view name = StepName(stepCode);
  if (result == SiteResultCode::Pass || result == SiteResultCode::Fail) {
    ReportAnswer(at, stepCode, reply);
    return result;
  }
  if (const std::string_view overCurrent = OverCurrentSuffix(result); !overCurrent.empty()) {
    LogReport(at, Tail(name, overCurrent), LogColour::Red);
    return result;
  }
  LogReport(at, Tail(name, " Ack Error!"), LogColour::Red);
  return SiteResultCode::Fail;
}
