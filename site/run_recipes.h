#pragma once
// The queues that the front ends' buttons start, in one place, so the windows and the
// command-line program start exactly the same work.
#include "site/thread_info.h"

enum class RunRecipe {
  PcRun,            // prepare the unit, then one RUN ALL
  PcAutoRun,        // prepare the unit, then the automatic loop
  SdRun,            // the run project from the unit's SD card, one RUN ALL
  SdAutoRun,        // the same as an automatic loop
  FlashLed,         // Self Test page, "Flash LED"
  SelfTest,         // Self Test page, "Execute"
  Information,      // Information page, "Execute"
  BiosUpdate,       // BIOS Update page, "Execute"
  FirmwareVersion,  // the firmware check: each unit's version
  SdDetect,         // SDCard page
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
