#include "cli/run_events.h"

#include "serve/run_event_json.h"
#include "site/site_status.h"

RunEvents::RunEvents(std::ostream& out, std::mutex& outMutex, bool json)
    : out_(out), outMutex_(outMutex), json_(json) {}

void RunEvents::OnPanel(const PanelEvent& event) {
  const bool stateChange = event.kind == PanelEvent::Kind::Status && event.value <= siPushKey;
  if (!json_ || !stateChange) return;
  Write(EventText(SiteEvent(event.site, event.value)));
}

void RunEvents::OnPart(const PartRecord& record) {
  if (!json_) return;
  std::string lines;
  for (const EventJson& step : StepEvents(record)) lines += EventText(step) + '\n';
  lines += EventText(PartEvent(record));
  Write(lines);
}

void RunEvents::OnSummary(const RunSummary& summary) {
  std::lock_guard<std::mutex> lock(mutex_);
  summary_ = summary;
}

RunSummary RunEvents::Summary() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return summary_;
}

void RunEvents::PrintSummary() {
  const RunTally tally = Summary().tally;
  if (json_) {
    Write(EventText(SummaryEvent(tally.passed, tally.failed)));
  } else {
    Write("Parts: " + std::to_string(tally.Parts()) + ", Passed: " + std::to_string(tally.passed) +
          ", Failed: " + std::to_string(tally.failed));
  }
}

void RunEvents::Write(const std::string& line) {
  std::lock_guard<std::mutex> lock(outMutex_);
  out_ << line << '\n';
  out_.flush();
}
