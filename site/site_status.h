#pragma once
#include <cstdint>

#include "support/site_index.h"

// The displayed state of a site, kept by its panel.
enum TSiteStatus : std::uint8_t {
  siNone = 0,     // no unit on this site
  siReady = 1,    // unit present and idle
  siWorking = 2,  // a queue of operations runs
  siPass = 3,     // the last run ended with the pass acknowledgement
  siFail = 4,     // the last run ended with another acknowledgement
  siTake = 5,     // automatic run waits for the part to be removed
  siPut = 6,      // automatic run waits for a part to be inserted
  siPushKey = 7,  // key-started run waits for the start key
};
