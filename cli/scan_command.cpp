// gangprog-cli scan: what the window program does when its main window is first shown. The
// rescan greets every unit (connect notice), reads its date-time identifier and orders the sites
// by it; then the site table.
#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_program.h"
#include "cli/commands.h"
#include "site/site_words.h"
#include "link/zv_usb.h"
#include "site/rescan.h"
#include "site/site_system.h"

namespace {
struct SiteRow {
  int number = 0;
  std::string state;
  std::string orderKey;  // "0x..." or "-"
  std::string device;    // "bus/device" or "-"
};

// "bus/device" of the unit a site holds, as the library names them; "-" for none.
std::string DeviceName(ZvUsb& link) {
  struct usb_device* device = link.DeviceOfHandle();
  if (device == nullptr) return "-";
  std::string name = device->bus != nullptr ? std::string(device->bus->dirname) + "/" : "";
  return name + device->filename;
}

SiteRow RowOf(SiteSystem& system, int site) {
  ZvUsb& link = system.Link(site);
  return SiteRow{site + 1, StateWord(system.Panels().Status(site)),
                 OrderKeyText(link.GetOrderKey()), DeviceName(link)};
}

void PrintTable(std::ostream& out, SiteSystem& system) {
  out << "Site  State      OrderKey            Device\n";
  for (int site = 0; site < kSiteCount; ++site) {
    const SiteRow row = RowOf(system, site);
    char line[128];
    std::snprintf(line, sizeof line, "%-5d %-10s %-19s %s\n", row.number, row.state.c_str(),
                  row.orderKey.c_str(), row.device.c_str());
    out << line;
  }
}

void PrintJson(std::ostream& out, SiteSystem& system) {
  nlohmann::ordered_json sites = nlohmann::ordered_json::array();
  int units = 0;
  for (int site = 0; site < kSiteCount; ++site) {
    const SiteRow row = RowOf(system, site);
    if (system.Panels().Status(site) != siNone) ++units;
    sites.push_back({{"site", row.number},
                     {"state", row.state},
                     {"order_key", row.orderKey},
                     {"device", row.device}});
  }
  const nlohmann::ordered_json object = {{"units", units}, {"sites", sites}};
  out << object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}
}  // namespace

int ScanCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  if (!program.Initialize()) return CliExit::BadInput;
  SiteSystem& system = program.System();
  const bool anyUnit = RescanUnits(system);
  program.Log().Flush();
  {
    std::lock_guard<std::mutex> lock(program.OutputMutex());
    if (options.json) {
      PrintJson(env.out, system);
    } else {
      PrintTable(env.out, system);
    }
    env.out.flush();
  }
  return anyUnit ? CliExit::AllPassed : CliExit::NoUnit;
}
