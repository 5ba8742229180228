#pragma once
// The run's events as JSON objects, the same for `gangprog-cli run --json` and the station's
// event stream: a panel's state, each step of a finished part, the part's record and the
// closing summary; and the log's lines as both front ends show them.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "log/core/shown_line.h"
#include "records/part_record.h"

using EventJson = nlohmann::ordered_json;

// One line of JSON; text that is not UTF-8 is replaced rather than refused.
std::string EventText(const EventJson& event);

// {"event":"site","site":N,"state":"READY"} for a site index 0..7 and a panel state.
EventJson SiteEvent(int site, std::uint32_t state);
// The record's own JSON (as `records --json` prints it) under an "event" key, without the id
// the writer gives it later.
EventJson PartEvent(const PartRecord& record);
// {"event":"step","site",..., "code","name","result","duration_ms"} per step, in run order.
std::vector<EventJson> StepEvents(const PartRecord& record);
EventJson SummaryEvent(std::uint64_t passed, std::uint64_t failed);
// {"event":"log","line":"[stamp] text","colour":"#RRGGBB"}.
EventJson LogEvent(const ShownLogLine& line);

class StationEvents;
// Publishes each shown line as a "log" event: the log consumers' tap (the command line's
// writer, the window's log view) for the station's stream. Never waits.
void PublishLogLines(StationEvents& events, const std::vector<ShownLogLine>& lines);
