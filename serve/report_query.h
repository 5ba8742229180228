#pragma once
// GET /api/v1/report: the production trail's yield report (by site, socket, part, step or hour)
// from the local database, through the same queries as `gangprog-cli records report`, so the
// dashboard's charts and the line's reports count alike.
#include <optional>
#include <string>

#include "records/record_report.h"
#include "serve/records_query.h"

struct ReportQuery {
  ReportBy by = ReportBy::Site;
  std::string sinceUtc;  // empty: every record
};

// The query from the request's parameters (`by` is required); the error text when one is bad.
std::optional<ReportQuery> ParseReportQuery(const std::string* by, const std::string* since,
                                            std::string& error);

// A JSON array of {KEY, "parts", "passed", "failed", "yield"} rows, KEY named by `by`.
RecordsReply QueryReport(const std::string& databasePath, const ReportQuery& query);
