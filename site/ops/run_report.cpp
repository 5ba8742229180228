#include "site/ops/run_report.h"

#include "link/standard_exchange.h"
#include "site/ops/step_reply.h"
#include "site/site_panels.h"

namespace {

constexpr std::uint64_t kMsPerSecond = 1000;
constexpr std::uint8_t kIgnored = 1;
constexpr std::uint8_t kEssential = 1;

void LogEssential(LogSink& log, int site, std::string_view tail, std::uint32_t colour) {
  log.AddLogMessage(SiteMessage(site, tail), colour, kIgnored, kEssential);
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

void LogRunStart(LogSink& log, int site) {
  LogEssential(log, site, " - RUN ALL...", LogColour::Start);
}

SiteResult StepRunResult(SiteResult reported, std::span<const std::uint8_t> reply) {
  if (reported != SiteResultCode::Pass) return reported;
  return StepReply(reply).Verdict() == ReplyVerdict::Pass ? SiteResultCode::Pass
                                                          : SiteResultCode::Fail;
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
