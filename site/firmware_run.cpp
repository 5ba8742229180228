#include "site/firmware_run.h"

#include "site/command.h"
#include "site/firmware_files.h"
#include "site/run_recipes.h"
#include "site/site_start_rule.h"
#include "site/site_system.h"
#include "site/site_wait.h"

namespace {

void ClearFirmwareFields(S_GetUSBCmdData& data) {
  data.BiosVersion.clear();
  data.FileBiosVersion.clear();
  data.FileCrc = 0;
  data.FileLength = 0;
  data.FirmwareUpdateResult = 0;
}

// Applies the site start rule of every per-site list to one site; true when its update is to
// start.
bool ChooseSite(FirmwareSiteChoice& entry, TSiteStatus status) {
  const SiteStartDecision decision = DecideSiteStart({entry.Enabled, entry.Checked}, status);
  entry = {decision.Item.Enabled, decision.Item.Ticked};
  return decision.Start;
}

}  // namespace

FirmwareSiteList AllFirmwareSites() {
  FirmwareSiteList list;
  list.fill(FirmwareSiteChoice{true, true});
  return list;
}

FirmwareRunOutcome RunFirmwareUpdate(SiteSystem& system, FirmwareSiteList& list) {
  FirmwareRunOutcome outcome;
  outcome.Extracted = ExtractFirmware(system);
  if (outcome.Extracted) {
    for (int site = 0; site < kSiteCount; ++site) {
      // A site's record belongs to its running worker (another page's work): left alone.
      if (!system.Engine().IsRunning(site)) ClearFirmwareFields(system.CmdData(site));
      if (!ChooseSite(list[SiteSlot(site)], system.Panels().Status(site))) continue;
      OpcodeQueue queue = RecipeQueue(RunRecipe::BiosUpdate);
      if (Command(system, site, queue).Started()) outcome.Started.push_back(site);
    }
    // The workers read the firmware files: every one of them ends before the files go.
    WaitForStartedSites(system, outcome.Started);
  }
  RemoveFirmwareFiles(system);
  return outcome;
}
