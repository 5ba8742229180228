#pragma once
// The program's command line. Toolkit-free, so that it is parsed (and --help answered) before
// any window exists.
#include <optional>
#include <string>
#include <vector>

struct CommandLineOptions {
  std::string baseDir;                // --base-dir DIR: the program's files below DIR
  std::optional<int> simulate;        // --simulate N: a simulated bus with N units (0 = none)
  std::optional<double> simFailRate;  // --sim-fail-rate R: share of simulated parts that fail
  std::optional<double> simSpeed;     // --sim-speed S: the simulated units work S times faster
  std::string simCards;               // --sim-cards DIR: the simulated units' SD card folders
  bool logStdout = false;             // --log-stdout: every shown log line also on standard output
  std::string usbTrace;               // --usb-trace FILE: the link's transfer trace
  std::string recordsUrl;             // --records-url URL: ship the per-part records there
  std::string project;             // --project FILE: loaded at start-up as the project window would
  bool autoRun = false;            // --auto-run: tick "Auto Run" and press "Run Program" at start
  bool showProjectWindow = false;  // --project-window: open the project window at start
  int exitAfterParts = 0;  // --exit-after-parts N: end in order once N parts are counted; 0 never
  std::string serve;       // --serve HOST:PORT: the station server inside the window program
  std::string serveHost;   // from --serve
  int servePort = 0;       // from --serve; 0: any free port
  std::string serveTokenFile;  // --serve-token-file FILE: the token every request must carry
  std::string serveToken;      // read from that file while the line is parsed
  bool help = false;           // --help
  bool version = false;        // --version
  std::string error;           // not empty: the command line was refused, for this reason
};

inline constexpr int kMaxSimulatedUnits = 16;
inline constexpr int kMaxExitAfterParts = 1000000;

// Parses the arguments after the program name. Options may also be written --name=value.
// Anything unknown, a missing or bad value, or a repeated option sets `error`.
CommandLineOptions ParseCommandLine(const std::vector<std::string>& args);
CommandLineOptions ParseCommandLine(int argc, const char* const* argv);

// The --help text.
std::string CommandLineUsage(const std::string& programName);
