#include "records/station.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "records/part_record.h"

namespace {
constexpr std::size_t kIdDigits = 32;

bool IsStationId(const std::string& text) {
  if (text.size() != kIdDigits) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

std::string NewStationId() {
  std::random_device device;
  std::string id;
  for (int i = 0; i < 4; ++i) id += HexText(device(), 8);
  return id;
}

bool ReadId(const std::string& path, std::string& id, std::string& error) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  if (IsStationId(line)) {
    id = line;
    return true;
  }
  error = path + " holds no station id";
  return false;
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}
}  // namespace

std::string StationIdPath(const std::string& baseDir) {
  return baseDir + "History/Station.id";
}

bool LoadOrMakeStationId(const std::string& baseDir, std::string& id, std::string& error) {
  const std::string path = StationIdPath(baseDir);
  std::error_code code;
  if (std::filesystem::exists(path, code)) return ReadId(path, id, error);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), code);
  // Written aside and linked into place: the file appears whole, and when another program made
  // one meanwhile, the link fails and both read that one.
  const std::string aside = path + "." + std::to_string(getpid()) + ".new";
  {
    std::ofstream out(aside, std::ios::trunc);
    out << NewStationId() << '\n';
    if (!out.flush()) {
      error = "cannot write " + aside;
      return false;
    }
  }
  const int linked = link(aside.c_str(), path.c_str());
  const int linkError = errno;
  std::filesystem::remove(aside, code);
  if (linked != 0 && linkError != EEXIST) {
    error = "cannot make " + path + ": " + std::strerror(linkError);
    return false;
  }
  return ReadId(path, id, error);
}

bool LoadStation(const std::string& baseDir, const std::string& programVersion,
                 StationInfo& station, std::string& error) {
  station.Host = HostName();
  station.ProgramVersion = programVersion;
  return LoadOrMakeStationId(baseDir, station.Id, error);
}
