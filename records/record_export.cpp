#include "records/record_export.h"

#include <nlohmann/json.hpp>

namespace {

// The columns, in order; JSON uses the same names as keys.
constexpr const char* kColumns[] = {"record_id",       "time",     "site",         "unit_id",
                                    "project_file",    "data_crc", "manufacturer", "part_number",
                                    "sockets",         "steps",    "run_result",   "run_verdict",
                                    "socket_verdicts", "pass",     "elapsed_ms"};

std::string Byte(std::uint8_t value) {
  return HexText(value, 2);
}

std::string SocketsText(std::uint8_t mask) {
  std::string text;
  for (int socket : SocketList(mask)) {
    if (!text.empty()) text += ';';
    text += std::to_string(socket);
  }
  return text;
}

std::string StepsText(const std::vector<StepRecord>& steps) {
  std::string text;
  for (const StepRecord& step : steps) {
    if (!text.empty()) text += ';';
    // A step without a name (a code outside the name table) shows its code.
    text += step.Name.empty() ? "0x" + HexText(step.Code, 4) : step.Name;
    text += ':' + Byte(step.Result) + ':' + std::to_string(step.DurationMs);
  }
  return text;
}

std::string VerdictsText(const PartRecord& record) {
  std::string text;
  for (std::uint8_t verdict : record.SocketVerdicts) {
    if (!text.empty()) text += ';';
    text += Byte(verdict);
  }
  return text;
}

}  // namespace

std::string CsvField(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (text.front() == ' ' || text.back() == ' '));
  if (!quote) return std::string(text);
  std::string field = "\"";
  for (char c : text) {
    if (c == '"') field += '"';
    field += c;
  }
  return field + '"';
}

std::string CsvHeader() {
  std::string line;
  for (const char* column : kColumns) {
    if (!line.empty()) line += ',';
    line += column;
  }
  return line + "\r\n";
}

std::string CsvLine(const PartRecord& r) {
  const std::string fields[] = {r.RecordId,
                                r.Time,
                                std::to_string(r.Site),
                                std::to_string(r.UnitId),
                                r.ProjectFile,
                                HexText(r.DataCrc, 8),
                                r.Manufacturer,
                                r.PartNumber,
                                SocketsText(r.Sockets),
                                StepsText(r.Steps),
                                Byte(r.RunResult),
                                Byte(r.RunVerdict),
                                VerdictsText(r),
                                r.Pass ? "pass" : "fail",
                                std::to_string(r.ElapsedMs)};
  std::string line;
  for (const std::string& field : fields) {
    if (&field != &fields[0]) line += ',';
    line += CsvField(field);
  }
  return line + "\r\n";
}

void WriteCsv(std::ostream& out, const std::vector<PartRecord>& records) {
  out << CsvHeader();
  for (const PartRecord& record : records) out << CsvLine(record);
}

std::string JsonLine(const PartRecord& r) {
  nlohmann::ordered_json steps = nlohmann::ordered_json::array();
  for (const StepRecord& step : r.Steps) {
    steps.push_back({{"code", HexText(step.Code, 4)},
                     {"name", step.Name},
                     {"result", Byte(step.Result)},
                     {"duration_ms", step.DurationMs}});
  }
  nlohmann::ordered_json verdicts = nlohmann::ordered_json::array();
  for (std::uint8_t verdict : r.SocketVerdicts) verdicts.push_back(Byte(verdict));
  const nlohmann::ordered_json object = {{"record_id", r.RecordId},
                                         {"time", r.Time},
                                         {"site", r.Site},
                                         {"unit_id", r.UnitId},
                                         {"project_file", r.ProjectFile},
                                         {"data_crc", HexText(r.DataCrc, 8)},
                                         {"manufacturer", r.Manufacturer},
                                         {"part_number", r.PartNumber},
                                         {"sockets", SocketList(r.Sockets)},
                                         {"steps", steps},
                                         {"run_result", Byte(r.RunResult)},
                                         {"run_verdict", Byte(r.RunVerdict)},
                                         {"socket_verdicts", verdicts},
                                         {"pass", r.Pass},
                                         {"elapsed_ms", r.ElapsedMs}};
  // Replace rather than throw on text that is not UTF-8 (a file name from another code page).
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void WriteJsonLines(std::ostream& out, const std::vector<PartRecord>& records) {
  for (const PartRecord& record : records) out << JsonLine(record) << '\n';
}
