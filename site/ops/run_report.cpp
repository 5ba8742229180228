#include "site/ops/run_report.h"

#include "link/standard_exchange.h"
#include "site/ops/step_reply.h"
#include "site/site_panels.h"

namespace {

constexpr std::uint64_t kMsPerSecond = 1000;
constexpr SiteResult kSocketEmpty = ReplyVerdict::Empty;

// The unit's codes for what it could not set up from its card.
struct CardStartFailure {
  SiteResult Code;
  const char* Tail;
};
constexpr CardStartFailure kCardStartFailures[] = {
    {0xA2, " - SDCard RUN ALL Fail by INI Initialization!"},
    {0xA3, " - SDCard RUN ALL Fail by FPGA Initialization!"},
    {0xA4, " - SDCard RUN ALL Fail By Driver Initialization!"},
    {0xA5, " - SDCard RUN ALL Fail By Menu Initialization!"},
    {0xA6, " - SDCard RUN ALL Fail By Option Initialization!"},
    {0xA7, " - SDCard RUN ALL Fail By Temp Initialization!"},
    {0xA8, " - SDCard RUN ALL Fail By Checksum Initialization!"},
    {0xA9, " - SDCard RUN ALL Fail By Merge Command Initialization!"},
    {0xAA, " - SDCard RUN ALL Fail By Hardware Initialization!"},
};

void LogEssential(LogSink& log, int site, std::string_view tail, std::uint32_t colour) {
  log.Write(SiteMessage(site, tail), colour, LogLevel::Essential);
}

}  // namespace

std::string RunSecondsText(std::uint64_t elapsedMs) {
  std::string text = std::to_string(elapsedMs / kMsPerSecond);
  std::uint64_t fraction = elapsedMs % kMsPerSecond;
  if (fraction == 0) return text;
  std::string digits = std::to_string(fraction + kMsPerSecond).substr(1);  // three digits
  digits.erase(digits.find_last_not_of('0') + 1);
  return text + "." + digits;
}

void LogRunStart(LogSink& log, int site, RunSource source) {
  LogEssential(log, site, source == RunSource::Pc ? " - RUN ALL..." : " - SDCard RUN ALL...",
               LogColour::Start);
}

SiteResult StepRunResult(SiteResult reported, std::span<const std::uint8_t> reply) {
  if (reported != SiteResultCode::Pass) return reported;
  return StepReply(reply).Verdict() == ReplyVerdict::Pass ? SiteResultCode::Pass
                                                          : SiteResultCode::Fail;
}

SiteResult CardStepResult(SiteResult reported, std::span<const std::uint8_t> reply) {
  const std::uint8_t verdict = StepReply(reply).Verdict();
  const bool answered = reported == SiteResultCode::Pass || reported == SiteResultCode::Fail;
  if (answered && verdict == ReplyVerdict::Empty) return kSocketEmpty;
  return StepRunResult(reported, reply);
}

void RecordRunEnd(SiteRunBytes& runBytes, SiteResult result, std::span<const std::uint8_t> reply) {
  runBytes.RunResult = result;
  runBytes.RunVerdict = StepReply(reply).Verdict();
}

void CountRunEnd(SitePanels& panels, int site, SiteResult result) {
  if (result == SiteResultCode::Pass) {
    panels.SetPassCount(site, panels.PassCount(site) + 1);
  } else {
    panels.SetFailCount(site, panels.FailCount(site) + 1);
  }
}

void ReportRunEnd(LogSink& log, int site, SiteResult result, std::uint64_t elapsedMs) {
  if (result != SiteResultCode::Pass) {
    LogSite(log, site, " - RUN ALL Fail!", LogColour::Red);
    return;
  }
  LogEssential(log, site, " - RUN ALL Time = " + RunSecondsText(elapsedMs) + " s",
               LogColour::Black);
  LogEssential(log, site, " - RUN ALL Pass", LogColour::Green);
}

SiteResult ReportCardRunEnd(LogSink& log, int site, SiteResult result, std::uint8_t verdict,
                            std::uint64_t elapsedMs) {
  if (result == SiteResultCode::Pass) {
    LogEssential(log, site, " - RUN ALL Time = " + RunSecondsText(elapsedMs) + " s",
                 LogColour::Black);
    LogEssential(log, site, " - SDCard RUN ALL Pass", LogColour::Green);
    return result;
  }
  // An empty socket is no fault of the card's set: the step lines said so already.
  const bool empty = result == kSocketEmpty && verdict == ReplyVerdict::Empty;
  if (result == SiteResultCode::Fail || empty) {
    LogSite(log, site, " - SDCard RUN ALL Fail!", LogColour::Red);
    return result;
  }
  for (const CardStartFailure& failure : kCardStartFailures) {
    if (failure.Code != result) continue;
    LogSite(log, site, failure.Tail, LogColour::Red);
    return result;
  }
  LogSite(log, site, " - SDCard RUN ALL Ack Error!", LogColour::Red);
  return SiteResultCode::Fail;
}
