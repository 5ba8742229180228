#pragma once
// Yield reports over the production trail: per site, per socket, per part number, the failing
// steps, parts per hour. The same queries run on a station's own SQLite file and on the line's
// PostgreSQL database and give the same rows, so a station's dashboard and the line's reports
// never disagree about what a number means.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "records/pg_connection.h"
#include "records/record_store.h"

enum class ReportBy { Site, Socket, Part, Step, Hour };

// "site", "socket", "part", "step", "hour", and back (none for another text).
const char* ReportByName(ReportBy by);
std::optional<ReportBy> ReportByOf(const std::string& name);

// One row. Site: the records of that site (1..8). Socket: the records that used it (1..4),
// passed when the socket's verdict byte says pass (A0). Part: "Manufacturer PartNumber". Step:
// its name ("0x" + code without one), counted per run of the step, only steps that failed.
// Hour: "YYYY-MM-DDThh:00Z" (UTC, so that stations in different time zones add up).
struct ReportRow {
  std::string Key;
  std::uint64_t Parts = 0;
  std::uint64_t Passed = 0;
  std::uint64_t Failed() const { return Parts - Passed; }
  double Yield() const { return Parts ? static_cast<double>(Passed) / Parts : 0.0; }

  bool operator==(const ReportRow&) const = default;
};

// The start of a report: "YYYY-MM-DD" (local midnight), or "YYYY-MM-DDThh:mm[:ss[.fff]]" with
// an optional "Z" or "+hh:mm" (without one: local time). The instant in UTC,
// "YYYY-MM-DD hh:mm:ss.fff+00:00", or none when the text is no such time.
std::optional<std::string> ReportSinceUtc(const std::string& text);

// The rows, ordered: sites, sockets and hours ascending, parts by name, steps by failures
// (most first). `sinceUtc` from ReportSinceUtc, or empty for every record.
StoreResult LocalReport(RecordStore& store, ReportBy by, const std::string& sinceUtc,
                        std::vector<ReportRow>& rows);
bool CentralReport(PgConnection& pg, ReportBy by, const std::string& sinceUtc,
                   std::vector<ReportRow>& rows, std::string& error);

// A table with a header line; CSV with CR LF line ends; one JSON object per line. The key's
// column is named by `by`; yield in per cent in the table, as a share in CSV and JSON.
void WriteReportTable(std::ostream& out, ReportBy by, const std::vector<ReportRow>& rows);
void WriteReportCsv(std::ostream& out, ReportBy by, const std::vector<ReportRow>& rows);
void WriteReportJson(std::ostream& out, ReportBy by, const std::vector<ReportRow>& rows);
// One row as the JSON lines and the station's report API give it: the key under `by`'s name,
// parts, passed, failed, yield (a share).
nlohmann::ordered_json ReportRowJson(ReportBy by, const ReportRow& row);
