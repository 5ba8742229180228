#pragma once
// The queues that the front ends' buttons start, in one place, so the windows and the
// command-line program start exactly the same work.
#include <vector>

#include "site/thread_info.h"

class SiteSystem;

enum class RunRecipe {
  PcRun,        // prepare the unit, then one RUN ALL
  PcAutoRun,    // prepare the unit, then the automatic loop
  SdRun,        // the run project from the unit's SD card, one RUN ALL
  SdAutoRun,    // the same as an automatic loop
  FlashLed,     // Self Test page, "Flash LED"
  SelfTest,     // Self Test page, "Execute"
  Information,  // Information page, "Execute"
  BiosUpdate,   // BIOS Update page, "Execute"
  SdDetect,     // SDCard page
  SdTest,
  SdFreeSpace,
  SdFilter,
  SdQuickFormat,
  Reset,  // Debug page
  SetHardware,
  IoMode,
  KeyRun,
  BurnIn,
};

OpcodeQueue RecipeQueue(RunRecipe recipe);
// The main window's run: from the unit's SD card or the PC, once or as an automatic loop.
RunRecipe MainRunRecipe(bool sdCardRun, bool autoRun);

// What the main window's run does: every site's run bytes back to zero, then the recipe's queue
// on every selected site. The sites started.
std::vector<int> StartOnSelectedSites(SiteSystem& system, RunRecipe recipe);
// Starts the recipe on each listed site whose panel shows a unit that no worker holds
// (SiteHeld); the sites started.
std::vector<int> StartOnSites(SiteSystem& system, RunRecipe recipe, const std::vector<int>& sites);
