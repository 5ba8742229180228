#include "serve/run_event_json.h"

#include <iomanip>
#include <sstream>

#include "records/record_export.h"
#include "serve/station_engine.h"
#include "site/site_words.h"

namespace {
// "#RRGGBB" of a log colour (0x00BBGGRR).
std::string CssColour(std::uint32_t bgr) {
  std::ostringstream text;
  text << '#' << std::hex << std::uppercase << std::setfill('0') << std::setw(2) << (bgr & 0xFF)
       << std::setw(2) << ((bgr >> 8) & 0xFF) << std::setw(2) << ((bgr >> 16) & 0xFF);
  return text.str();
}
}  // namespace

std::string EventText(const EventJson& event) {
  return event.dump(-1, ' ', false, EventJson::error_handler_t::replace);
}

EventJson SiteEvent(int site, std::uint32_t state) {
  return {{"event", "site"}, {"site", site + kFirstRecordSite}, {"state", StateWord(state)}};
}

EventJson PartEvent(const PartRecord& record) {
  EventJson event = {{"event", "part"}};
  const EventJson fields = EventJson::parse(JsonLine(record));  // kept: items() refers into it
  for (const auto& [key, value] : fields.items()) {
    if (key == "record_id") continue;
    event[key] = value;
  }
  return event;
}

std::vector<EventJson> StepEvents(const PartRecord& record) {
  std::vector<EventJson> events;
  const EventJson fields = EventJson::parse(JsonLine(record));
  for (const EventJson& step : fields["steps"]) {
    EventJson event = {{"event", "step"}, {"site", record.Site}};
    for (const auto& [key, value] : step.items()) event[key] = value;
    events.push_back(std::move(event));
  }
  return events;
}

EventJson SummaryEvent(std::uint64_t passed, std::uint64_t failed) {
  return {{"event", "summary"}, {"parts", passed + failed}, {"passed", passed}, {"failed", failed}};
}

EventJson LogEvent(const ShownLogLine& line) {
  return {{"event", "log"}, {"line", line.stamped}, {"colour", CssColour(line.colour)}};
}

void PublishLogLines(StationEvents& events, const std::vector<ShownLogLine>& lines) {
  for (const ShownLogLine& line : lines) events.Publish("log", EventText(LogEvent(line)));
}
