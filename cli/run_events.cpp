#include "cli/run_events.h"

#include <chrono>
#include <nlohmann/json.hpp>

#include "cli/site_words.h"
#include "records/record_export.h"
#include "site/site_status.h"

namespace {
using Json = nlohmann::ordered_json;

constexpr int kFirstSiteNumber = 1;

std::string Dump(const Json& object) {
  return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The record's own JSON (as `records --json` prints it) under an "event" key.
Json PartEvent(const PartRecord& record) {
  Json event = {{"event", "part"}};
  const Json fields = Json::parse(JsonLine(record));  // kept: items() refers into it
  for (const auto& [key, value] : fields.items()) {
    if (key == "record_id") continue;  // the writer names it later
    event[key] = value;
  }
  return event;
}
}  // namespace

RunEvents::RunEvents(std::ostream& out, std::mutex& outMutex, bool json)
    : out_(out), outMutex_(outMutex), json_(json) {}

void RunEvents::OnPanel(const PanelEvent& event) {
  const bool stateChange = event.kind == PanelEvent::Kind::Status && event.value <= siPushKey;
  if (!json_ || !stateChange) return;
  Write(Dump({{"event", "site"},
              {"site", event.site + kFirstSiteNumber},
              {"state", StateWord(event.value)}}));
}

void RunEvents::OnPart(const PartRecord& record) {
  if (!json_) return;
  const Json part = PartEvent(record);
  std::string lines;
  for (const Json& step : part["steps"]) {
    Json event = {{"event", "step"}, {"site", record.Site}};
    for (const auto& [key, value] : step.items()) event[key] = value;
    lines += Dump(event) + '\n';
  }
  lines += Dump(part);
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
    Write(Dump({{"event", "summary"},
                {"parts", tally.Parts()},
                {"passed", tally.passed},
                {"failed", tally.failed}}));
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
