#pragma once
// The whole system without windows, built by the same ProgramCore as the window program's: the
// bus choice, the site system, the paths, the settings, the directory tree and the driver
// index; at the end the close notices and the temporary files as at the window program's
// close. What is its own: the headless host, the log printed on a stream.
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>

#include "cli/cli_host.h"
#include "cli/cli_log.h"
#include "cli/cli_options.h"
#include "program/program_core.h"

class SiteSystem;
class StopRequest;

// What main() or a test hands the program besides its command line.
struct CliEnvironment {
  CliEnvironment(std::ostream& outStream, std::ostream& errStream)
      : out(outStream), err(errStream) {}

  std::ostream& out;
  std::ostream& err;
  std::string tempRoot;          // empty: the system temporary folder
  bool simulationTiming = true;  // the simulated units' timing model
  // Runs once the system is built, before any unit is greeted (tests register stand-in
  // operations with it).
  std::function<void(SiteSystem&)> prepare;
  StopRequest* stop = nullptr;  // Ctrl-C; none: a run stops only by itself
};

class HeadlessProgram {
 public:
  // The log goes to `logStream`. Throws std::runtime_error when the transfer trace cannot be
  // opened.
  HeadlessProgram(const CliOptions& options, CliEnvironment& env, std::ostream& logStream);
  // The close, as the window program's: workers joined, close notices, temporary files, links.
  ~HeadlessProgram();
  HeadlessProgram(const HeadlessProgram&) = delete;
  HeadlessProgram& operator=(const HeadlessProgram&) = delete;

  // Paths, settings, directory tree, driver index; logs the start-up's end line.
  bool Initialize();

  SiteSystem& System() { return core_.System(); }
  CliSiteHost& Host() { return host_; }
  CliLog& Log() { return *log_; }
  // Guards the output streams against the log writer and the workers' events.
  std::mutex& OutputMutex() { return outputMutex_; }

 private:
  CliEnvironment& env_;
  std::mutex outputMutex_;
  CliSiteHost host_;             // outlives the system it is attached to
  ProgramCore core_;             // the bus and the system
  std::unique_ptr<CliLog> log_;  // prints the system's log; goes before the system
};
