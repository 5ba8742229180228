#include "records/record_report.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "records/record_export.h"
#include "records/sqlite_statement.h"

namespace {
enum class Dialect { Sqlite, Postgres };

constexpr int kPassByte = 0xA0;

struct ReportName {
  ReportBy By;
  const char* Name;
};
constexpr ReportName kReportNames[] = {{ReportBy::Site, "site"},
                                       {ReportBy::Socket, "socket"},
                                       {ReportBy::Part, "part"},
                                       {ReportBy::Step, "step"},
                                       {ReportBy::Hour, "hour"}};
constexpr int kNoCode = -1;

// A row as both databases return it: key, step code (steps only), parts, passed.
struct RawRow {
  std::string Key;
  long long Code = kNoCode;
  long long Parts = 0;
  long long Passed = 0;
};

std::string Since(Dialect d) {
  return d == Dialect::Sqlite ? "julianday(r.time) >= julianday(?1)" : "r.time >= $1::timestamptz";
}

std::string Counted(const std::string& passTest) {
  return "count(*), sum(CASE WHEN " + passTest + " THEN 1 ELSE 0 END)";
}

// The one query of each report, in the words both databases share; only the time functions
// and the step join differ.
std::string ReportSql(ReportBy by, Dialect d, bool since) {
  const std::string where = since ? " WHERE " + Since(d) : "";
  const std::string andSince = since ? " AND " + Since(d) : "";
  const std::string pass = Counted("r.pass");
  switch (by) {
    case ReportBy::Site:
      return "SELECT CAST(r.site AS TEXT), -1, " + pass + " FROM part_records r" + where +
             " GROUP BY r.site";
    case ReportBy::Socket: {
      std::string sql;
      for (int k = 1; k <= kRecordSockets; ++k) {
        if (!sql.empty()) sql += " UNION ALL ";
        const std::string socket = std::to_string(k);
        sql += "SELECT '" + socket + "', -1, " +
               Counted("r.socket" + socket + "_verdict = " + std::to_string(kPassByte)) +
               " FROM part_records r WHERE (r.sockets & " + std::to_string(1 << (k - 1)) +
               ") <> 0" + andSince;
      }
      return sql;
    }
    case ReportBy::Part:
      return "SELECT r.manufacturer || ' ' || r.part_number, -1, " + pass + " FROM part_records r" +
             where + " GROUP BY r.manufacturer, r.part_number";
    case ReportBy::Step: {
      const std::string join = d == Dialect::Sqlite
                                   ? "s.record = r.id"
                                   : "s.station_id = r.station_id AND s.record_id = r.record_id";
      return "SELECT s.name, s.code, " + Counted("s.result = " + std::to_string(kPassByte)) +
             " FROM part_records r JOIN part_steps s ON " + join + where +
             " GROUP BY s.name, s.code";
    }
    case ReportBy::Hour: {
      const std::string hour =
          d == Dialect::Sqlite
              ? "strftime('%Y-%m-%dT%H:00Z', r.time)"
              : "to_char(r.time AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24\":00Z\"')";
      return "SELECT " + hour + ", -1, " + pass + " FROM part_records r" + where + " GROUP BY 1";
    }
  }
  return {};
}

// Both sources end here, so their rows are ordered and named alike (the databases' collations
// differ).
std::vector<ReportRow> Finish(ReportBy by, const std::vector<RawRow>& raw) {
  std::vector<ReportRow> rows;
  for (const RawRow& r : raw) {
    if (r.Parts <= 0) continue;
    ReportRow row{r.Key, static_cast<std::uint64_t>(r.Parts), static_cast<std::uint64_t>(r.Passed)};
    if (by == ReportBy::Step && row.Key.empty())
      row.Key = "0x" + HexText(static_cast<std::uint64_t>(r.Code), 4);
    if (by == ReportBy::Step && row.Failed() == 0) continue;
    rows.push_back(row);
  }
  const bool numeric = by == ReportBy::Site || by == ReportBy::Socket;
  std::sort(rows.begin(), rows.end(), [&](const ReportRow& a, const ReportRow& b) {
    if (by == ReportBy::Step && a.Failed() != b.Failed()) return a.Failed() > b.Failed();
    if (numeric) return std::stoi(a.Key) < std::stoi(b.Key);
    return a.Key < b.Key;
  });
  return rows;
}

bool ReadNumber(const std::string& text, std::size_t& at, int digits, int& value) {
  value = 0;
  for (int i = 0; i < digits; ++i, ++at) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
    value = value * 10 + (text[at] - '0');
  }
  return true;
}

bool Expect(const std::string& text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

// "Z", "+hh:mm", "-hh:mm" or nothing (local time) at the end of the text.
bool ReadOffset(const std::string& text, std::size_t& at, std::optional<int>& offsetMinutes) {
  if (at == text.size()) return true;
  if (text[at] == 'Z') {
    offsetMinutes = 0;
    return ++at == text.size();
  }
  const int sign = text[at] == '-' ? -1 : 1;
  if (text[at] != '+' && text[at] != '-') return false;
  ++at;
  int hours = 0;
  int minutes = 0;
  if (!ReadNumber(text, at, 2, hours) || !Expect(text, at, ':') ||
      !ReadNumber(text, at, 2, minutes) || hours > 23 || minutes > 59) {
    return false;
  }
  offsetMinutes = sign * (hours * 60 + minutes);
  return at == text.size();
}
}  // namespace

const char* ReportByName(ReportBy by) {
  for (const ReportName& entry : kReportNames) {
    if (entry.By == by) return entry.Name;
  }
  return "";
}

std::optional<ReportBy> ReportByOf(const std::string& name) {
  for (const ReportName& entry : kReportNames) {
    if (name == entry.Name) return entry.By;
  }
  return std::nullopt;
}

std::optional<std::string> ReportSinceUtc(const std::string& text) {
  if (text.size() < 10 || !IsIsoDate(text.substr(0, 10))) return std::nullopt;
  std::tm when{};
  when.tm_year = std::stoi(text.substr(0, 4)) - 1900;
  when.tm_mon = std::stoi(text.substr(5, 2)) - 1;
  when.tm_mday = std::stoi(text.substr(8, 2));
  std::size_t at = 10;
  int millis = 0;
  std::optional<int> offsetMinutes;
  if (at < text.size()) {
    if (!Expect(text, at, 'T') || !ReadNumber(text, at, 2, when.tm_hour) ||
        !Expect(text, at, ':') || !ReadNumber(text, at, 2, when.tm_min) || when.tm_hour > 23 ||
        when.tm_min > 59) {
      return std::nullopt;
    }
    if (at < text.size() && text[at] == ':') {
      ++at;
      if (!ReadNumber(text, at, 2, when.tm_sec) || when.tm_sec > 59) return std::nullopt;
      if (at < text.size() && text[at] == '.') {
        ++at;
        const std::size_t first = at;
        for (int scale = 100; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
          millis += (text[at] - '0') * scale;
          scale /= 10;
        }
        if (at == first) return std::nullopt;
      }
    }
    if (!ReadOffset(text, at, offsetMinutes)) return std::nullopt;
  }
  std::time_t instant = 0;
  if (offsetMinutes) {
    instant = timegm(&when) - static_cast<std::time_t>(*offsetMinutes) * 60;
  } else {
    when.tm_isdst = -1;
    instant = std::mktime(&when);
  }
  std::tm utc{};
  if (!gmtime_r(&instant, &utc)) return std::nullopt;
  char out[64];
  std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d.%03d+00:00", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, millis);
  return std::string(out);
}

StoreResult LocalReport(RecordStore& store, ReportBy by, const std::string& sinceUtc,
                        std::vector<ReportRow>& rows) {
  rows.clear();
  sqlite3* db = store.Handle();
  if (!db) return store.Open();
  SqliteStatement select(db, ReportSql(by, Dialect::Sqlite, !sinceUtc.empty()));
  if (!select.Prepared()) return {StoreStatus::Failed, sqlite3_errmsg(db)};
  if (!sinceUtc.empty()) select.Bind(1, sinceUtc);
  std::vector<RawRow> raw;
  int rc = SQLITE_ROW;
  while ((rc = select.Step()) == SQLITE_ROW) {
    raw.push_back({select.Text(0), select.Int(1), select.Int(2), select.Int(3)});
  }
  if (rc != SQLITE_DONE) return {StoreStatus::Failed, sqlite3_errmsg(db)};
  rows = Finish(by, raw);
  return {};
}

bool CentralReport(PgConnection& pg, ReportBy by, const std::string& sinceUtc,
                   std::vector<ReportRow>& rows, std::string& error) {
  rows.clear();
  PgResult result;
  const std::vector<std::string> params =
      sinceUtc.empty() ? std::vector<std::string>{} : std::vector<std::string>{sinceUtc};
  if (!pg.Query(ReportSql(by, Dialect::Postgres, !sinceUtc.empty()), params, result)) {
    error = pg.Error();
    return false;
  }
  std::vector<RawRow> raw;
  for (int i = 0; i < result.Rows(); ++i) {
    raw.push_back({result.Text(i, 0), result.Int(i, 1), result.Int(i, 2), result.Int(i, 3)});
  }
  rows = Finish(by, raw);
  return true;
}

void WriteReportTable(std::ostream& out, ReportBy by, const std::vector<ReportRow>& rows) {
  std::size_t width = std::string(ReportByName(by)).size();
  for (const ReportRow& row : rows) width = std::max(width, row.Key.size());
  char line[128];
  const auto write = [&](const std::string& key, const char* numbers) {
    out << key << std::string(width + 2 - key.size(), ' ') << numbers << '\n';
  };
  std::snprintf(line, sizeof line, "%8s %8s %8s %7s", "parts", "passed", "failed", "yield");
  write(ReportByName(by), line);
  for (const ReportRow& row : rows) {
    std::snprintf(line, sizeof line, "%8llu %8llu %8llu %6.1f%%",
                  static_cast<unsigned long long>(row.Parts),
                  static_cast<unsigned long long>(row.Passed),
                  static_cast<unsigned long long>(row.Failed()), row.Yield() * 100.0);
    write(row.Key, line);
  }
}

void WriteReportCsv(std::ostream& out, ReportBy by, const std::vector<ReportRow>& rows) {
  out << ReportByName(by) << ",parts,passed,failed,yield\r\n";
  char yield[32];
  for (const ReportRow& row : rows) {
    std::snprintf(yield, sizeof yield, "%.4f", row.Yield());
    out << CsvField(row.Key) << ',' << row.Parts << ',' << row.Passed << ',' << row.Failed() << ','
        << yield << "\r\n";
  }
}

nlohmann::ordered_json ReportRowJson(ReportBy by, const ReportRow& row) {
  nlohmann::ordered_json object;
  object[ReportByName(by)] = row.Key;
  object["parts"] = row.Parts;
  object["passed"] = row.Passed;
  object["failed"] = row.Failed();
  object["yield"] = row.Yield();
  return object;
}

void WriteReportJson(std::ostream& out, ReportBy by, const std::vector<ReportRow>& rows) {
  for (const ReportRow& row : rows) {
    out << ReportRowJson(by, row).dump(-1, ' ', false,
                                       nlohmann::ordered_json::error_handler_t::replace)
        << '\n';
  }
}
