#include "site/firmware_run.h"

#include "site/firmware_files.h"
#include "site/run_session.h"
#include "site/site_system.h"

namespace {

void ClearFirmwareFields(S_GetUSBCmdData& data) {
  data.BiosVersion.clear();
  data.FileBiosVersion.clear();
  data.FileCrc = 0;
  data.FileLength = 0;
  data.FirmwareUpdateResult = 0;
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
    }
    SiteList items;
    for (std::size_t i = 0; i < list.size(); ++i) items[i] = {list[i].Enabled, list[i].Checked};
    RunSession& session = system.Session();
    const StartedRun run = session.Start(RunRecipe::BiosUpdate, items);
    for (std::size_t i = 0; i < list.size(); ++i) list[i] = {items[i].Enabled, items[i].Ticked};
    // The workers read the firmware files: every one of them ends before the files go.
    session.WaitForEnd(run);
    outcome.Started = run.sites;
  }
  RemoveFirmwareFiles(system);
  return outcome;
}
