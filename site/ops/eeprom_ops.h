#pragma once
// Reading the unit's EEPROM into its memory: the unit copies `length` bytes from `offset`
// into its memory at `unitAddress`, where a bulk read then fetches them.
#include <cstdint>

class SiteContext;

// True only when the unit answered pass. Its own texts (" - EEPROM Read ..."); it does not
// ask the bus whether the unit is present, it only closes a link that lost its handle.
bool EepromRead(SiteContext& ctx, std::uint32_t unitAddress, std::uint32_t offset,
                std::uint32_t length);
