#include "cli/site_starts.h"

#include <algorithm>
#include <string>

#include "site/site_system.h"

namespace {
// The chosen sites that show a unit; the sites without one are named in the log.
std::vector<int> SitesWithUnit(SiteSystem& system, const std::vector<int>& chosen) {
  std::vector<int> sites;
  for (int site : chosen) {
    if (system.Panels().Status(site) != siNone) {
      sites.push_back(site);
    } else {
      system.Log().AddLogMessage("Site #" + std::to_string(site + 1) + " - No Unit!",
                                 LogColour::Red, 1, 0);
    }
  }
  return sites;
}
}  // namespace

std::vector<int> StartRecipeOnUnits(SiteSystem& system, RunRecipe recipe,
                                    const std::vector<int>& chosen) {
  if (chosen.empty()) return StartOnSelectedSites(system, recipe);
  const std::vector<int> sites = SitesWithUnit(system, chosen);
  if (sites.size() != chosen.size()) return {};
  system.ResetRunBytes();
  return StartOnSites(system, recipe, sites);
}

bool AllEndedPassed(SiteSystem& system, const std::vector<int>& started) {
  return !started.empty() && std::all_of(started.begin(), started.end(), [&](int site) {
    return system.Panels().Status(site) == siPass;
  });
}
