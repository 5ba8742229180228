#pragma once
// What every step report shares. The reports take the site's context: they read its driver
// (slots 5..8, 73, 167, 168 and the 56 pin names), its plan and its pin-scan flag, and write
// only socket 1's run field of the plan (insert detection) and the insertion facts of the run
// bytes (InsertState, PinState).
#include <cstdint>
#include <string_view>

#include "site/site_context.h"

// A site line with the ignored flag 1 and the essential flag 0, as every report line is.
void LogReport(const SiteContext& at, std::string_view tail, std::uint32_t colour);

// Every detailed report first makes sure socket 1 takes part; if not, it logs
// " - No Choose Textool!" (red) and reports nothing else.
bool SocketOneChosen(const SiteContext& at);
