#include "serve/records_query.h"

#include <charconv>
#include <ctime>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <vector>

#include "records/record_export.h"
#include "records/record_store.h"

namespace {
constexpr std::int64_t kMsPerSecond = 1000;
constexpr std::int64_t kSecondsPerMinute = 60;
constexpr std::int64_t kSecondsPerDay = 86400;

// Reads `digits` decimal digits at `at`; advances past them.
bool Number(const std::string& text, std::size_t& at, int digits, int& value) {
  if (at + static_cast<std::size_t>(digits) > text.size()) return false;
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const char c = text[at + static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  at += static_cast<std::size_t>(digits);
  return true;
}

bool Literal(const std::string& text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

// The offset from UTC in seconds at `at` ("Z", "+hh:mm", "-hh:mm"); none when the text ends.
bool Offset(const std::string& text, std::size_t& at, std::optional<std::int64_t>& offset) {
  if (at == text.size()) return true;
  if (Literal(text, at, 'Z')) {
    offset = 0;
    return at == text.size();
  }
  const bool minus = at < text.size() && text[at] == '-';
  if (!Literal(text, at, '+') && !Literal(text, at, '-')) return false;
  int hours = 0;
  int minutes = 0;
  if (!Number(text, at, 2, hours) || !Literal(text, at, ':') || !Number(text, at, 2, minutes) ||
      hours > 23 || minutes > 59 || at != text.size()) {
    return false;
  }
  offset = (minus ? -1 : 1) * (hours * kSecondsPerMinute + minutes) * kSecondsPerMinute;
  return true;
}

struct Clock {
  int hour = 0, minute = 0, second = 0, ms = 0;
};

bool TimeOfDay(const std::string& text, std::size_t& at, Clock& clock) {
  if (!Literal(text, at, 'T')) return true;
  if (!Number(text, at, 2, clock.hour) || !Literal(text, at, ':') ||
      !Number(text, at, 2, clock.minute)) {
    return false;
  }
  if (Literal(text, at, ':') && !Number(text, at, 2, clock.second)) return false;
  if (Literal(text, at, '.') && !Number(text, at, 3, clock.ms)) return false;
  return clock.hour <= 23 && clock.minute <= 59 && clock.second <= 59;
}

// The local day a day before the instant: the database query by local day then holds every
// record from the instant on, whatever the offsets of the texts.
std::string DayBefore(std::optional<std::int64_t> sinceMs) {
  if (!sinceMs) return {};
  const std::time_t seconds = static_cast<std::time_t>(*sinceMs / kMsPerSecond - kSecondsPerDay);
  std::tm local{};
  if (localtime_r(&seconds, &local) == nullptr) return {};
  char day[16];
  if (std::strftime(day, sizeof day, "%Y-%m-%d", &local) == 0) return {};
  return day;
}

bool Fetch(const std::string& path, std::optional<std::int64_t> sinceMs,
           std::vector<PartRecord>& records, std::string& error) {
  std::error_code missing;
  if (!std::filesystem::exists(path, missing)) return true;  // no database yet: no records
  RecordStore store(path);
  const StoreResult result = store.QuerySince(DayBefore(sinceMs), records);
  if (result.Ok()) return true;
  error = std::string("the records cannot be read (") + StoreStatusText(result.Status) +
          "): " + result.Message;
  return false;
}
}  // namespace

std::optional<std::int64_t> IsoTimeMs(const std::string& text) {
  std::size_t at = 0;
  int year = 0, month = 0, day = 0;
  if (!Number(text, at, 4, year) || !Literal(text, at, '-') || !Number(text, at, 2, month) ||
      !Literal(text, at, '-') || !Number(text, at, 2, day) || month < 1 || month > 12 || day < 1 ||
      day > 31) {
    return std::nullopt;
  }
  Clock clock;
  std::optional<std::int64_t> offset;
  if (!TimeOfDay(text, at, clock) || !Offset(text, at, offset)) return std::nullopt;
  std::tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = clock.hour;
  fields.tm_min = clock.minute;
  fields.tm_sec = clock.second;
  fields.tm_isdst = -1;
  const std::int64_t seconds = offset ? static_cast<std::int64_t>(timegm(&fields)) - *offset
                                      : static_cast<std::int64_t>(mktime(&fields));
  return seconds * kMsPerSecond + clock.ms;
}

std::optional<RecordsQuery> ParseRecordsQuery(const std::string* since, const std::string* limit,
                                              const std::string* format, std::string& error) {
  RecordsQuery query;
  if (since != nullptr) {
    query.sinceMs = IsoTimeMs(*since);
    if (!query.sinceMs) {
      error = "since: needs a time YYYY-MM-DDThh:mm:ss with an optional offset, not " + *since;
      return std::nullopt;
    }
  }
  if (limit != nullptr) {
    std::size_t value = 0;
    const auto [end, code] = std::from_chars(limit->data(), limit->data() + limit->size(), value);
    if (code != std::errc() || end != limit->data() + limit->size() || value < 1 ||
        value > kMaxRecordLimit) {
      error = "limit: needs a number from 1 to " + std::to_string(kMaxRecordLimit);
      return std::nullopt;
    }
    query.limit = value;
  }
  if (format != nullptr && *format != "json" && *format != "csv") {
    error = "format: json or csv, not " + *format;
    return std::nullopt;
  }
  query.csv = format != nullptr && *format == "csv";
  return query;
}

RecordsReply QueryRecords(const std::string& databasePath, const RecordsQuery& query) {
  std::vector<PartRecord> all;
  std::string error;
  if (!Fetch(databasePath, query.sinceMs, all, error)) return {500, "application/json", error};
  std::vector<PartRecord> chosen;
  for (PartRecord& record : all) {
    if (chosen.size() == query.limit) break;
    const std::optional<std::int64_t> at = IsoTimeMs(record.Time);
    if (query.sinceMs && (!at || *at < *query.sinceMs)) continue;
    chosen.push_back(std::move(record));
  }
  std::ostringstream body;
  if (query.csv) {
    WriteCsv(body, chosen);
    return {200, "text/csv; charset=utf-8", body.str()};
  }
  body << '[';
  for (std::size_t i = 0; i < chosen.size(); ++i) body << (i ? "," : "") << JsonLine(chosen[i]);
  body << "]\n";
  return {200, "application/json", body.str()};
}
