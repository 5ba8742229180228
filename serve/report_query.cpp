#include "serve/report_query.h"

#include <filesystem>
#include <system_error>
#include <vector>

#include <nlohmann/json.hpp>

std::optional<ReportQuery> ParseReportQuery(const std::string* by, const std::string* since,
                                            std::string& error) {
  const std::optional<ReportBy> chosen = by ? ReportByOf(*by) : std::nullopt;
  if (!chosen) {
    error = "by: site, socket, part, step or hour";
    return std::nullopt;
  }
  ReportQuery query;
  query.by = *chosen;
  if (since != nullptr) {
    const std::optional<std::string> utc = ReportSinceUtc(*since);
    if (!utc) {
      error = "since: needs a time YYYY-MM-DDThh:mm:ss with an optional offset, not " + *since;
      return std::nullopt;
    }
    query.sinceUtc = *utc;
  }
  return query;
}

RecordsReply QueryReport(const std::string& databasePath, const ReportQuery& query) {
  std::vector<ReportRow> rows;
  std::error_code missing;
  if (std::filesystem::exists(databasePath, missing)) {  // no database yet: no rows
    RecordStore store(databasePath);
    const StoreResult result = LocalReport(store, query.by, query.sinceUtc, rows);
    if (!result.Ok()) {
      return {500, "application/json",
              std::string("the records cannot be read (") + StoreStatusText(result.Status) +
                  "): " + result.Message};
    }
  }
  nlohmann::ordered_json body = nlohmann::ordered_json::array();
  for (const ReportRow& row : rows) body.push_back(ReportRowJson(query.by, row));
  return {200, "application/json",
          body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n"};
}
