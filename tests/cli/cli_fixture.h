#pragma once
// gangprog-cli in-process on simulated units: a base folder with the demo database and demo
// projects (made once, copied for every test so that the records of one test never reach
// another), the program's streams as strings, and stand-ins for the run operations.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli/cli_main.h"
#include "cli/stop_request.h"

class SiteSystem;

struct CliResult {
  int status = -1;
  std::string out;
  std::string err;
  std::vector<std::string> OutLines() const;
};

// The standard output's lines, each parsed as one JSON object.
std::vector<nlohmann::json> JsonLines(const CliResult& result);

// How the stand-in RUN ALL and automatic loop judge a part: by site index and part number.
using PartVerdict = std::function<bool(int site, int part)>;

// Registers stand-ins for the preparation (9, 10, 11: pass), RUN ALL (12) and the loop (13).
// Each part is counted on the panel (CountRunEnd) and its record handed to the system's sink,
// as the real operations do. The loop runs parts until "Stop All" is disabled; `onPart` runs
// after every part (a test's Ctrl-C).
void RegisterStandIns(SiteSystem& system, PartVerdict verdict,
                      std::function<void(int site, int part)> onPart = nullptr);

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // Runs gangprog-cli with `args`; `prepare` runs once the system is built.
  CliResult Run(const std::vector<std::string>& args,
                std::function<void(SiteSystem&)> prepare = nullptr);

  // The same with its own temporary folder, for programs that run at once.
  CliResult RunWithTemp(const std::string& tempRoot, const std::vector<std::string>& args,
                        std::function<void(SiteSystem&)> prepare = nullptr);
  // Another base folder made from the template (another station), below the test's folder.
  std::string NewBase(const std::string& name);

  std::string Base() const { return base_; }
  // A demo project of the template database.
  std::string Project() const;

  StopRequest stop_;

 private:
  static std::string templateRoot_;  // the suite's base folder, copied for every test
  std::string root_;
  std::string base_;
};
