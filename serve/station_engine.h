#pragma once
// What the station server needs from the engine, and nothing more: a snapshot of the station,
// a project load, a run started and stopped, a run's tally. The engine reports what happens
// through StationEvents. Calls come from the server's connection threads, any number at once.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct StationProject {
  std::string file;  // the archive's file name
  std::string manufacturer;
  std::string partNumber;
  std::uint32_t dataCrc = 0;
};

struct StationSite {
  int site = 1;       // 1..8
  std::string state;  // the panel's word: "NONE", "READY", "WORKING", "PASS", ...
  std::uint32_t passed = 0;
  std::uint32_t failed = 0;
  bool checked = false;
};

struct StationSnapshot {
  int units = 0;
  bool running = false;
  std::optional<StationProject> project;
  std::vector<StationSite> sites;  // all eight
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
};

struct ProjectLoad {
  enum class Status { Loaded, Refused, RunActive };
  Status status = Status::Refused;
  std::string message;  // the program's own message of a refused project
  StationProject project;
};

struct StationRunRequest {
  std::vector<int> sites;  // site numbers 1..8; empty: every site with a unit
  bool autoRun = false;
  std::uint64_t parts = 0;  // with autoRun: stop once this many are done in all (0: no limit)
  bool fromCard = false;    // "sd" mode: each unit runs its own card's project
};

struct RunStart {
  enum class Status { Started, RunActive, NoProject, NoUnit };
  Status status = Status::NoUnit;
  std::uint64_t run = 0;
  std::string message;
};

struct RunTallyState {
  bool running = false;
  std::uint64_t passed = 0;
  std::uint64_t failed = 0;
};

// Where the engine reports, from any thread (site workers included): it must not wait.
class StationEvents {
 public:
  virtual ~StationEvents() = default;
  // `data` is one JSON object whose "event" key is `type`.
  virtual void Publish(const std::string& type, const std::string& data) = 0;
};

class StationEngine {
 public:
  virtual ~StationEngine() = default;
  virtual StationSnapshot Snapshot() = 0;
  virtual ProjectLoad LoadProject(const std::string& path) = 0;
  virtual RunStart StartRun(const StationRunRequest& request) = 0;
  // The sites finish the part in hand.
  virtual void RequestStop() = 0;
  virtual std::optional<RunTallyState> Run(std::uint64_t id) = 0;
  // The production trail's database file.
  virtual std::string RecordsPath() = 0;
};
