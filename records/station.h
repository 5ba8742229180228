#pragma once
// Who a station is in the line's database: an id made at its first start and kept below its
// base folder, so that it survives program updates and reinstalls, and the host it runs on.
#include <string>

struct StationInfo {
  std::string Id;              // 32 hex digits
  std::string Host;            // the machine's host name
  std::string ProgramVersion;  // "major.minor.release.build", or empty
};

// baseDir (ending in "/") + "History/Station.id".
std::string StationIdPath(const std::string& baseDir);

// The station's id from its file; a missing file is made with a new random id first (two
// programs starting at once agree on one). False with `error` when the file cannot be read,
// holds no id, or cannot be made.
bool LoadOrMakeStationId(const std::string& baseDir, std::string& id, std::string& error);

// The station as the line's database records it.
bool LoadStation(const std::string& baseDir, const std::string& programVersion,
                 StationInfo& station, std::string& error);
