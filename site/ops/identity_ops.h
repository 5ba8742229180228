#pragma once
// Get DateTime ID (opcode 36): the unit's date-time identifier from its EEPROM, which becomes
// the link's OrderKey; the rescan orders the sites by it.
#include "link/frame_codes.h"

class OpcodeTable;
class SiteSystem;

SiteResult GetDateTimeId(SiteSystem& system, int site);

void RegisterIdentityOperations(OpcodeTable& table);
