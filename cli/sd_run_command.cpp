// gangprog-cli sd run: the main window's run in SD card mode. Each unit runs the run project of
// its own card; the events, JSON lines, summary and exit status are those of "run".
#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/sd_command.h"

namespace {

void AddRunOptions(CLI::App& action, CliOptions& o) {
  CLI::Option* autoRun = action.add_flag("--auto", o.autoRun, "the automatic loop");
  action.add_option("--parts", o.parts, "with --auto: stop once N parts are done in all")
      ->type_name("N")
      ->check(CLI::PositiveNumber)
      ->needs(autoRun);
  action.add_flag("--json", o.json, "one JSON object per line for each event");
}

}  // namespace

SdAction SdRunAction() {
  return {"run", "program parts with the run project of each unit's SD card", AddRunOptions,
          nullptr, RunParts};
}
