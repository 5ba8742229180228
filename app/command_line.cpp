#include "app/command_line.h"

#include <charconv>
#include <cmath>
#include <cstddef>

#include "serve/access.h"
#include "serve/station_server.h"

namespace {
// Splits "--name=value" into its parts; `value` stays empty without "=".
bool SplitOption(const std::string& arg, std::string& name, std::optional<std::string>& value) {
  if (arg.rfind("--", 0) != 0) return false;
  const std::size_t equals = arg.find('=');
  name = arg.substr(0, equals);
  if (equals != std::string::npos) value = arg.substr(equals + 1);
  return true;
}

// A whole decimal number from `least` to `most`, nothing else.
std::optional<int> ParseCount(const std::string& text, int least, int most) {
  int value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || value < least || value > most) return std::nullopt;
  return value;
}

std::optional<double> ParseRate(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  // The negated test also refuses NaN.
  if (ec != std::errc() || ptr != end || !(value >= 0.0 && value <= 1.0)) return std::nullopt;
  return value;
}

std::optional<double> ParseSpeed(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  // Above zero and finite; the negated test also refuses NaN.
  if (ec != std::errc() || ptr != end || !(value > 0.0 && std::isfinite(value))) {
    return std::nullopt;
  }
  return value;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  CommandLineOptions Run() {
    for (index_ = 0; index_ < args_.size() && options_.error.empty(); ++index_) One(args_[index_]);
    // Only the automatic run counts parts without a hand on the buttons.
    if (options_.exitAfterParts != 0 && !options_.autoRun)
      Fail("--exit-after-parts needs --auto-run");
    if (options_.error.empty()) ServeChecks();
    return options_;
  }

 private:
  void One(const std::string& arg) {
    std::string name;
    std::optional<std::string> inlineValue;
    if (!SplitOption(arg, name, inlineValue)) return Fail("unexpected argument: " + arg);
    if (name == "--help" || name == "--version" || name == "--log-stdout" || name == "--auto-run" ||
        name == "--project-window") {
      if (inlineValue) return Fail(name + " takes no value");
      Flag(name);
      return;
    }
    if (name != "--base-dir" && name != "--simulate" && name != "--usb-trace" &&
        name != "--project" && name != "--sim-fail-rate" && name != "--sim-speed" &&
        name != "--sim-cards" && name != "--exit-after-parts" && name != "--records-url" &&
        name != "--serve" && name != "--serve-token-file") {
      return Fail("unknown option: " + name);
    }
    const std::optional<std::string> value = inlineValue ? inlineValue : Next();
    if (!value || value->empty()) return Fail(name + " needs a value");
    if (name == "--base-dir")
      Text(options_.baseDir, name, *value);
    else if (name == "--usb-trace")
      Text(options_.usbTrace, name, *value);
    else if (name == "--project")
      Text(options_.project, name, *value);
    else if (name == "--sim-cards")
      Text(options_.simCards, name, *value);
    else if (name == "--records-url")
      Text(options_.recordsUrl, name, *value);
    else if (name == "--serve")
      Text(options_.serve, name, *value);
    else if (name == "--serve-token-file")
      Text(options_.serveTokenFile, name, *value);
    else if (name == "--sim-fail-rate")
      Rate(*value);
    else if (name == "--sim-speed")
      Speed(*value);
    else if (name == "--exit-after-parts")
      PartCount(*value);
    else
      Count(*value);
  }

  void Flag(const std::string& name) {
    if (name == "--help" || name == "--version") {
      (name == "--help" ? options_.help : options_.version) = true;
      return;
    }
    bool& flag = name == "--log-stdout" ? options_.logStdout
                 : name == "--auto-run" ? options_.autoRun
                                        : options_.showProjectWindow;
    if (Once(flag, name)) flag = true;
  }

  std::optional<std::string> Next() {
    if (index_ + 1 >= args_.size()) return std::nullopt;
    return args_[++index_];
  }

  bool Once(bool alreadySet, const std::string& name) {
    if (alreadySet) Fail(name + " given twice");
    return !alreadySet;
  }

  void Text(std::string& field, const std::string& name, const std::string& value) {
    if (Once(!field.empty(), name)) field = value;
  }

  void Count(const std::string& value) {
    if (!Once(options_.simulate.has_value(), "--simulate")) return;
    const std::optional<int> count = ParseCount(value, 0, kMaxSimulatedUnits);
    if (!count) {
      return Fail("--simulate needs a unit count from 0 to " + std::to_string(kMaxSimulatedUnits));
    }
    options_.simulate = count;
  }

  void Rate(const std::string& value) {
    if (!Once(options_.simFailRate.has_value(), "--sim-fail-rate")) return;
    options_.simFailRate = ParseRate(value);
    if (!options_.simFailRate) Fail("--sim-fail-rate needs a share from 0 to 1");
  }

  void Speed(const std::string& value) {
    if (!Once(options_.simSpeed.has_value(), "--sim-speed")) return;
    options_.simSpeed = ParseSpeed(value);
    if (!options_.simSpeed) Fail("--sim-speed needs a speed-up above 0");
  }

  void PartCount(const std::string& value) {
    if (!Once(options_.exitAfterParts != 0, "--exit-after-parts")) return;
    const std::optional<int> count = ParseCount(value, 1, kMaxExitAfterParts);
    if (!count) {
      return Fail("--exit-after-parts needs a part count from 1 to " +
                  std::to_string(kMaxExitAfterParts));
    }
    options_.exitAfterParts = *count;
  }

  // The station server's address and token are checked before any window exists: beyond
  // loopback it serves only with a private token file.
  void ServeChecks() {
    if (options_.serve.empty()) {
      if (!options_.serveTokenFile.empty()) Fail("--serve-token-file needs --serve");
      return;
    }
    if (!ParseListenAddress(options_.serve, options_.serveHost, options_.servePort)) {
      return Fail("--serve needs HOST:PORT, not " + options_.serve);
    }
    if (!options_.serveTokenFile.empty()) {
      const TokenFile token = ReadTokenFile(options_.serveTokenFile);
      if (!token.token) return Fail(token.refusal + "; not serving");
      options_.serveToken = *token.token;
    }
    if (options_.serveToken.empty() && !IsLoopbackHost(options_.serveHost)) {
      Fail("--serve on " + options_.serveHost +
           " reaches other machines; give a --serve-token-file; not serving");
    }
  }

  void Fail(const std::string& reason) {
    if (options_.error.empty()) options_.error = reason;
  }

  const std::vector<std::string>& args_;
  std::size_t index_ = 0;
  CommandLineOptions options_;
};
}  // namespace

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args) {
  return Parser(args).Run();
}

CommandLineOptions ParseCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return ParseCommandLine(args);
}

std::string CommandLineUsage(const std::string& programName) {
  return "Usage: " + programName +
         " [options]\n"
         "  --base-dir DIR    keep the program's files (System, DataBase, History, Temp) below "
         "DIR\n"
         "  --simulate N      drive N simulated units (0 to " +
         std::to_string(kMaxSimulatedUnits) +
         ") instead of the USB bus\n"
         "  --sim-fail-rate R let a share R (0 to 1) of the simulated parts fail\n"
         "  --sim-speed S     let the simulated units work S times faster than real ones\n"
         "  --sim-cards DIR   the simulated units keep their SD cards in DIR/Site1, DIR/Site2, "
         "...\n"
         "  --log-stdout      also write every shown log line to standard output\n"
         "  --usb-trace FILE  write a line per USB transfer to FILE\n"
         "  --records-url URL ship the per-part records to this PostgreSQL database\n"
         "                    (postgresql://...; the password from ~/.pgpass or PGPASSFILE)\n"
         "  --project FILE    load the project FILE once the units are found\n"
         "  --auto-run        with a project: tick \"Auto Run\" and press \"Run Program\"\n"
         "  --project-window  open the project window once the units are found\n"
         "  --exit-after-parts N  with --auto-run: once N parts are counted, finish the parts in\n"
         "                    hand, print the counts and end\n"
         "  --serve HOST:PORT serve the station to the line over HTTP (loopback: 127.0.0.1:8470)\n"
         "  --serve-token-file FILE  every request carries the token from FILE (mode 600);\n"
         "                    needed for any address beyond loopback\n"
         "  --version         print the program's version\n"
         "  --help            show this text\n";
}
