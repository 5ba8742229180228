// gangprog-cli info, self-test and led: the options window's Information page, its Self Test
// page's "Execute" and "Flash LED", on the units the rescan finds. Each prints, per started
// unit, what the unit reported, also where a step failed (the exit status says so).
#include <algorithm>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "site/site_words.h"
#include "site/rescan.h"
#include "site/run_session.h"
#include "site/site_system.h"

namespace {
using Row = nlohmann::ordered_json;  // field name -> value, in column order

RunRecipe RecipeOf(CliCommand command) {
  switch (command) {
    case CliCommand::SelfTest:
      return RunRecipe::SelfTest;
    case CliCommand::Led:
      return RunRecipe::FlashLed;
    default:
      return RunRecipe::Information;
  }
}

Row RowOf(SiteSystem& system, CliCommand command, int site) {
  Row row = {{"site", site + 1}, {"result", StateWord(system.Panels().Status(site))}};
  const S_GetUSBCmdData& data = system.CmdData(site);
  if (command == CliCommand::Info) {
    row["firmware_number"] = data.BiosNumber;
    row["firmware_version"] = data.BiosVersion;
    row["serial"] = data.SerialText;
    row["order_key"] = OrderKeyText(system.Link(site).GetOrderKey());
  } else if (command == CliCommand::SelfTest) {
    row["self_test"] = data.SelfTestText;
  }
  return row;
}

std::string CellText(const Row& value) {
  return value.is_string() ? value.get<std::string>() : value.dump();
}

// A table with one column per field, as wide as its widest cell; the last column unpadded.
void PrintTable(std::ostream& out, const std::vector<Row>& rows) {
  if (rows.empty()) return;
  std::vector<std::string> keys;
  std::vector<std::size_t> widths;
  for (const auto& [key, value] : rows.front().items()) {
    keys.push_back(key);
    widths.push_back(key.size());
  }
  for (const Row& row : rows) {
    for (std::size_t k = 0; k < keys.size(); ++k) {
      widths[k] = std::max(widths[k], CellText(row[keys[k]]).size());
    }
  }
  const auto line = [&](const std::vector<std::string>& cells) {
    for (std::size_t k = 0; k < cells.size(); ++k) {
      out << cells[k];
      if (k + 1 < cells.size()) out << std::string(widths[k] - cells[k].size() + 2, ' ');
    }
    out << '\n';
  };
  line(keys);
  for (const Row& row : rows) {
    std::vector<std::string> cells;
    for (const std::string& key : keys) cells.push_back(CellText(row[key]));
    line(cells);
  }
}

void PrintRows(std::ostream& out, const std::vector<Row>& rows, bool json) {
  if (!json) {
    PrintTable(out, rows);
    return;
  }
  for (const Row& row : rows) {
    // A unit's texts need not be UTF-8: such bytes are replaced rather than refused.
    out << row.dump(-1, ' ', false, Row::error_handler_t::replace) << '\n';
  }
}

SiteChoice ChoiceOf(const CliOptions& options) {
  return options.sites.empty() ? SiteChoice::SelectedSites()
                               : SiteChoice::ListedSites(options.sites);
}
}  // namespace

int ServiceCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  if (!program.Initialize()) return CliExit::BadInput;
  SiteSystem& system = program.System();
  if (!RescanUnits(system)) return CliExit::NoUnit;
  // The session extracts the self-test image for the test and removes it after the wait.
  RunSession& session = system.Session();
  const StartedRun run = session.Start(RecipeOf(options.command), ChoiceOf(options));
  const RunSummary summary = session.Wait(run);
  system.Shutdown();  // every worker joined: what they reported is read below
  program.Log().Flush();
  if (run.refusal == StartRefusal::MissingResource) return CliExit::BadInput;  // the box said why
  if (!run.Started()) return CliExit::NoUnit;
  const std::vector<int>& started = run.sites;
  std::vector<Row> rows;
  for (int site : started) rows.push_back(RowOf(system, options.command, site));
  {
    std::lock_guard<std::mutex> lock(program.OutputMutex());
    PrintRows(env.out, rows, options.json);
    env.out.flush();
  }
  return summary.AllPassed() ? CliExit::AllPassed : CliExit::PartFailed;
}
