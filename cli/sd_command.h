#pragma once
// gangprog-cli sd: one subcommand of "sd" per card action. Each action lives in a file of its
// own and is listed once in SdActions(); the parse and the dispatch take it from there.
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace CLI {
class App;
}
class HeadlessProgram;
struct CliEnvironment;

struct SdAction {
  const char* Name;
  const char* Help;
  // Adds the action's own options to its subcommand.
  void (*AddOptions)(CLI::App& action, CliOptions& options);
  // A reason to refuse the parsed options (exit 2), or "".
  std::string (*Check)(const CliOptions& options);
  // Runs the action on the initialised program; returns the exit status.
  int (*Run)(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);
};

// The actions of the project store (sd_store_command.cpp).
std::vector<SdAction> SdStoreActions();
// The stand-alone run from the cards (sd_run_command.cpp).
SdAction SdRunAction();
// Every action of "sd", in help order.
std::vector<SdAction> SdActions();

// The "sd" subcommand with one subcommand per action; `siteNumbers` gets --sites.
CLI::App* AddSdCommand(CLI::App& app, CliOptions& options, std::vector<int>& siteNumbers);
// After the parse: the chosen action, its sites (as indexes) and its own check.
std::string TakeSdOptions(CLI::App& sd, const std::vector<int>& siteNumbers, CliOptions& options);
