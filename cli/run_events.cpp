#include "cli/run_events.h"

#include "serve/run_event_json.h"
#include "site/run_controls.h"
#include "site/site_panels.h"

RunEvents::RunEvents(std::ostream& out, std::mutex& outMutex, bool json, const SitePanels& panels)
    : out_(out), outMutex_(outMutex), json_(json) {
  for (int site = 0; site < kSiteCount; ++site) {
    lastPass_[site] = panels.PassCount(site);
    lastFail_[site] = panels.FailCount(site);
  }
}

void RunEvents::StopAfter(std::uint64_t parts, RunControls& controls) {
  std::lock_guard<std::mutex> lock(mutex_);
  target_ = parts;
  controls_ = &controls;
  if (target_ != 0 && tally_.Parts() >= target_) controls_->StopAllEnabled = false;
}

void RunEvents::Show(const PanelEvent& event) {
  if (event.kind == PanelEvent::Kind::PassCount || event.kind == PanelEvent::Kind::FailCount) {
    Count(event);
  }
  const bool stateChange = event.kind == PanelEvent::Kind::Status && event.value <= siPushKey;
  if (!json_ || !stateChange) return;
  Write(EventText(SiteEvent(event.site, event.value)));
}

void RunEvents::Count(const PanelEvent& event) {
  if (event.site < 0 || event.site >= kSiteCount) return;
  std::lock_guard<std::mutex> lock(mutex_);
  // A counter that goes down was reset, not a part undone: count from the new value on.
  if (event.kind == PanelEvent::Kind::PassCount) {
    if (event.value > lastPass_[event.site]) tally_.passed += event.value - lastPass_[event.site];
    lastPass_[event.site] = event.value;
  } else {
    if (event.value > lastFail_[event.site]) tally_.failed += event.value - lastFail_[event.site];
    lastFail_[event.site] = event.value;
  }
  if (controls_ != nullptr && target_ != 0 && tally_.Parts() >= target_) {
    controls_->StopAllEnabled = false;
  }
}

void RunEvents::Submit(const PartRecord& record) {
  if (json_) {
    std::string lines;
    for (const EventJson& step : StepEvents(record)) lines += EventText(step) + '\n';
    lines += EventText(PartEvent(record));
    Write(lines);
  }
}

RunTally RunEvents::Tally() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tally_;
}

void RunEvents::PrintSummary() {
  const RunTally tally = Tally();
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
