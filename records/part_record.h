#pragma once
// One RUN ALL result as the production trail keeps it: which unit ran which project on which
// sockets, how each step went and what the run's result bytes were.
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

// Sockets per unit ("Textool1" to "Textool4").
inline constexpr int kRecordSockets = 4;
// Sites are counted from 1 in records, as in the site messages.
inline constexpr int kFirstRecordSite = 1;
inline constexpr int kLastRecordSite = 8;

// One step of the procedure: its step code, its name as the log shows it, the step's result
// (the SiteResult its report returned) and how long the unit took for it.
struct StepRecord {
  std::uint16_t Code = 0;
  std::string Name;
  std::uint8_t Result = 0;
  std::uint32_t DurationMs = 0;

  bool operator==(const StepRecord&) const = default;
};

struct PartRecord {
  // Unique text of this record; the writer fills it at hand-over when empty. A retried commit
  // of the same record cannot add a second row.
  std::string RecordId;
  // Local time of the run's end, ISO 8601 with milliseconds and UTC offset
  // ("2024-05-01T13:45:12.345+02:00"); the writer fills it at hand-over when empty.
  std::string Time;
  int Site = kFirstRecordSite;  // 1 to 8
  std::uint64_t UnitId = 0;     // the unit's date-time identifier
  std::string ProjectFile;      // the project's file name
  std::uint32_t DataCrc = 0;    // CRC-32 of the project's data image
  std::string Manufacturer;
  std::string PartNumber;
  std::uint8_t Sockets = 0;       // bit k set: socket k + 1 was used
  std::vector<StepRecord> Steps;  // in the order they ran
  std::uint8_t RunResult = 0;     // the run's SiteResult
  std::uint8_t RunVerdict = 0;    // byte 55 of the run's last step reply
  // The verdict byte of each socket's record in the last step reply (0 where not read).
  std::array<std::uint8_t, kRecordSockets> SocketVerdicts{};
  bool Pass = false;            // the part counted as passed
  std::uint32_t ElapsedMs = 0;  // the run's time

  bool operator==(const PartRecord&) const = default;
};

// "YYYY-MM-DDThh:mm:ss.mmm+hh:mm" of the instant in the machine's local time zone.
std::string LocalIsoTime(std::chrono::system_clock::time_point when);

// True for a text "YYYY-MM-DD" naming a day of the calendar (month 01..12, a day the month has).
bool IsIsoDate(const std::string& text);

// The socket numbers (1 to 4) of a mask, ascending.
std::vector<int> SocketList(std::uint8_t mask);

// Upper-case hex of a value with at least `digits` digits ("A0", "0001F3C2").
std::string HexText(std::uint64_t value, int digits);
