// gangprog-cli sd: the parse of "sd <action>" and the dispatch to the action's file.
#include "cli/sd_command.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "site/rescan.h"
#include "site/site_system.h"

namespace {
constexpr int kFirstSiteNumber = 1;

const SdAction* FindAction(const std::vector<SdAction>& actions, const std::string& name) {
  const auto found = std::find_if(actions.begin(), actions.end(),
                                  [&](const SdAction& action) { return name == action.Name; });
  return found == actions.end() ? nullptr : &*found;
}
}  // namespace

std::vector<SdAction> SdActions() {
  std::vector<SdAction> actions = SdStoreActions();
  actions.push_back(SdRunAction());
  return actions;
}

CLI::App* AddSdCommand(CLI::App& app, CliOptions& options, std::vector<int>& siteNumbers) {
  CLI::App* sd = app.add_subcommand("sd", "the units' SD cards and the projects stored on them");
  sd->require_subcommand(1);
  sd->add_option("--sites", siteNumbers, "sites to work on, e.g. 1,3,5 (default: every unit)")
      ->delimiter(',')
      ->check(CLI::Range(kFirstSiteNumber, kSiteCount));
  for (const SdAction& action : SdActions()) {
    CLI::App* sub = sd->add_subcommand(action.Name, action.Help);
    if (action.AddOptions != nullptr) action.AddOptions(*sub, options);
  }
  return sd;
}

std::string TakeSdOptions(CLI::App& sd, const std::vector<int>& siteNumbers, CliOptions& options) {
  for (const std::string& item : sd.get_option("--sites")->results()) {
    if (item.empty()) return "--sites: the list has an empty item";
  }
  for (int number : siteNumbers) {
    const int index = number - kFirstSiteNumber;
    if (std::find(options.sites.begin(), options.sites.end(), index) != options.sites.end()) {
      return "--sites: site " + std::to_string(number) + " is listed twice";
    }
    options.sites.push_back(index);
  }
  const std::vector<SdAction> actions = SdActions();
  for (const SdAction& action : actions) {
    if (!sd.get_subcommand(action.Name)->parsed()) continue;
    options.sdAction = action.Name;
    return action.Check != nullptr ? action.Check(options) : std::string();
  }
  return "sd: name an action";
}

int SdCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  const std::vector<SdAction> actions = SdActions();
  const SdAction* action = FindAction(actions, options.sdAction);
  if (action == nullptr || !program.Initialize()) return CliExit::BadInput;
  SiteSystem& system = program.System();
  const bool anyUnit = RescanUnits(system);
  const int status = anyUnit ? action->Run(program, options, env) : CliExit::NoUnit;
  system.Shutdown();
  program.Log().Flush();
  return status;
}
