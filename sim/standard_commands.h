#pragma once
// The command families the simulated firmware answers. Each install function adds its
// handlers to a registry; SimUnit installs them all unless its config says otherwise, and a
// new family (unit preparation, procedure runs, SD card, firmware update) comes as one more
// install function here.
#include "sim/command_context.h"

namespace sim {

// Whether the PC has greeted the unit (connect notice) and not yet taken leave.
struct ConnectionState {
  bool greeted = false;
  std::uint32_t connects = 0;
  std::uint32_t closes = 0;
};

// Connect notice 0xC53A, close notice 0xC639, EEPROM read 0xC837.
void installInformationCommands(CommandRegistry& registry);
// Bulk out 0xB14E and bulk in 0xB22D: chunked transfers to and from unit memory.
void installTransferCommands(CommandRegistry& registry);
// Every family above.
void installStandardCommands(CommandRegistry& registry);

}  // namespace sim
