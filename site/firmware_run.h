#pragma once
// The firmware update run after the front end's question: the one body that the options
// window's "Execute" and the command line share. The QUESTION box stays with the front ends
// (FirmwareQuestionText in site/firmware_files.h).
#include <array>
#include <vector>

#include "support/site_index.h"

class SiteSystem;

// One entry of the front end's site list.
struct FirmwareSiteChoice {
  bool Enabled = false;
  bool Checked = false;
};
using FirmwareSiteList = std::array<FirmwareSiteChoice, kSiteCount>;

struct FirmwareRunOutcome {
  bool Extracted = false;    // the firmware files were unpacked; false: no worker started
  std::vector<int> Started;  // the sites whose update ran, in site order
};

// Every entry enabled and checked: each site with a unit is chosen (the command line).
FirmwareSiteList AllFirmwareSites();

// Extracts the firmware files (a failure shows its ERROR box and starts nothing); then clears
// the four firmware fields and the update result of every site whose worker is not running (a
// running worker owns its record) and goes through the list: a chosen entry (enabled and
// checked) whose site has no unit is unchecked and disabled; one whose site is not busy gets a
// worker with the update; an entry not chosen is unchecked and enabled exactly when its site has
// a unit. Waits for the workers it started (whether or not their sites are selected in the main
// window), then deletes the firmware files, also when nothing was started or the extraction
// failed. `list` is updated in place for the front end to show.
FirmwareRunOutcome RunFirmwareUpdate(SiteSystem& system, FirmwareSiteList& list);
