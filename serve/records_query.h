#pragma once
// GET /api/v1/records: the production trail from the local database, from a point in time on,
// oldest first, as a JSON array of records or as CSV.
#include <cstdint>
#include <optional>
#include <string>

inline constexpr std::size_t kDefaultRecordLimit = 1000;
inline constexpr std::size_t kMaxRecordLimit = 100000;

// Milliseconds since the epoch of "YYYY-MM-DD", "YYYY-MM-DDThh:mm", "...:ss" or "...:ss.fff",
// each optionally followed by "Z" or "+hh:mm"/"-hh:mm" (without one: the local time zone).
std::optional<std::int64_t> IsoTimeMs(const std::string& text);

struct RecordsQuery {
  std::optional<std::int64_t> sinceMs;  // none: from the first record
  std::size_t limit = kDefaultRecordLimit;
  bool csv = false;
};

struct RecordsReply {
  int status = 200;
  std::string contentType;
  std::string body;  // the records, or the error text
};

// The query from the request's parameters; the error text when one is bad.
std::optional<RecordsQuery> ParseRecordsQuery(const std::string* since, const std::string* limit,
                                              const std::string* format, std::string& error);

RecordsReply QueryRecords(const std::string& databasePath, const RecordsQuery& query);
