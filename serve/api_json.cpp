#include "serve/api_json.h"

#include <algorithm>
#include <set>

#include "records/part_record.h"

namespace {
using Json = nlohmann::ordered_json;

constexpr int kFirstSite = 1;
constexpr int kLastSite = 8;

std::optional<Json> ParseObject(const std::string& body, bool emptyIsObject, std::string& error) {
  if (emptyIsObject && body.find_first_not_of(" \t\r\n") == std::string::npos)
    return Json::object();
  Json object = Json::parse(body, nullptr, false);
  if (object.is_discarded()) {
    error = "the body is not JSON";
    return std::nullopt;
  }
  if (!object.is_object()) {
    error = "the body is not a JSON object";
    return std::nullopt;
  }
  return object;
}

bool OnlyKeys(const Json& object, const std::set<std::string>& known, std::string& error) {
  for (const auto& [key, value] : object.items()) {
    if (known.count(key) == 0) {
      error = "unknown key \"" + key + "\"";
      return false;
    }
  }
  return true;
}

bool ReadSites(const Json& object, StationRunRequest& request, std::string& error) {
  if (!object.contains("sites")) return true;
  const Json& sites = object["sites"];
  if (!sites.is_array()) {
    error = "sites: needs a list of site numbers 1 to 8";
    return false;
  }
  for (const Json& site : sites) {
    if (!site.is_number_integer() || site.get<long long>() < kFirstSite ||
        site.get<long long>() > kLastSite) {
      error = "sites: needs a list of site numbers 1 to 8";
      return false;
    }
    const int number = site.get<int>();
    if (std::find(request.sites.begin(), request.sites.end(), number) != request.sites.end()) {
      error = "sites: site " + std::to_string(number) + " is listed twice";
      return false;
    }
    request.sites.push_back(number);
  }
  return true;
}

bool ReadRunFlags(const Json& object, StationRunRequest& request, std::string& error) {
  if (object.contains("auto")) {
    if (!object["auto"].is_boolean()) {
      error = "auto: needs true or false";
      return false;
    }
    request.autoRun = object["auto"].get<bool>();
  }
  if (object.contains("parts")) {
    const Json& parts = object["parts"];
    if (!parts.is_number_unsigned() || parts.get<std::uint64_t>() == 0) {
      error = "parts: needs a number above 0";
      return false;
    }
    if (!request.autoRun) {
      error = "parts: needs \"auto\": true";
      return false;
    }
    request.parts = parts.get<std::uint64_t>();
  }
  if (object.contains("mode")) {
    const Json& mode = object["mode"];
    if (!mode.is_string() || (mode != "pc" && mode != "sd")) {
      error = "mode: \"pc\" or \"sd\"";
      return false;
    }
    request.fromCard = mode == "sd";
  }
  return true;
}
}  // namespace

std::string ErrorJson(const std::string& text) {
  return Json{{"error", text}}.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::optional<std::string> ParseProjectBody(const std::string& body, std::string& error) {
  const std::optional<Json> object = ParseObject(body, false, error);
  if (!object) return std::nullopt;
  if (!OnlyKeys(*object, {"path"}, error)) return std::nullopt;
  if (!object->contains("path") || !(*object)["path"].is_string()) {
    error = "path: needs the project file's path";
    return std::nullopt;
  }
  return (*object)["path"].get<std::string>();
}

std::optional<StationRunRequest> ParseRunBody(const std::string& body, std::string& error) {
  const std::optional<Json> object = ParseObject(body, true, error);
  if (!object) return std::nullopt;
  if (!OnlyKeys(*object, {"sites", "auto", "parts", "mode"}, error)) return std::nullopt;
  StationRunRequest request;
  // "auto" first: "parts" needs it.
  if (!ReadRunFlags(*object, request, error) || !ReadSites(*object, request, error)) {
    return std::nullopt;
  }
  return request;
}

Json ProjectJson(const StationProject& project) {
  return {{"file", project.file},
          {"manufacturer", project.manufacturer},
          {"part_number", project.partNumber},
          {"data_crc", HexText(project.dataCrc, 8)}};
}

Json StationJson(const StationSnapshot& snapshot, const std::string& version) {
  Json sites = Json::array();
  for (const StationSite& site : snapshot.sites) {
    sites.push_back({{"site", site.site},
                     {"state", site.state},
                     {"passed", site.passed},
                     {"failed", site.failed},
                     {"checked", site.checked}});
  }
  return {{"version", version},
          {"units", snapshot.units},
          {"running", snapshot.running},
          {"project", snapshot.project ? ProjectJson(*snapshot.project) : Json()},
          {"sites", sites},
          {"statistics",
           {{"passed", snapshot.passed},
            {"failed", snapshot.failed},
            {"total", snapshot.passed + snapshot.failed}}}};
}

Json RunJson(std::uint64_t id, const RunTallyState& run) {
  return {{"run", id},
          {"state", run.running ? "running" : "done"},
          {"parts", run.passed + run.failed},
          {"passed", run.passed},
          {"failed", run.failed}};
}
