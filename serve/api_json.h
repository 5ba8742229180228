#pragma once
// The API's JSON: request bodies read strictly (a key the API does not know, a wrong type or
// a value out of range is a bad request, never guessed at) and the station's objects written.
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "serve/station_engine.h"

// {"error": text}
std::string ErrorJson(const std::string& text);

// {"path": "..."}: the path, or the error text.
std::optional<std::string> ParseProjectBody(const std::string& body, std::string& error);
// {"sites": [1, 3], "auto": true, "parts": 500, "mode": "pc"}, every key optional; an empty
// body is {}.
std::optional<StationRunRequest> ParseRunBody(const std::string& body, std::string& error);

nlohmann::ordered_json ProjectJson(const StationProject& project);
nlohmann::ordered_json StationJson(const StationSnapshot& snapshot, const std::string& version);
nlohmann::ordered_json RunJson(std::uint64_t id, const RunTallyState& run);
