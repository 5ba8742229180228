#pragma once
// Get DateTime ID (opcode 36): the unit's date-time identifier from its EEPROM, which becomes
// the link's OrderKey; the rescan orders the sites by it.
#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

SiteResult GetDateTimeId(SiteContext& ctx, const OperationTexts& texts = {});
