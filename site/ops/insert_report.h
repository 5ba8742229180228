#pragma once
// The insert detection report: which socket pins of the part failed the pin scan, whether a
// part sits in the socket, and the site's insertion facts that the automatic loop reads.
#include <cstdint>
#include <span>

#include "link/frame_codes.h"
#include "site/ops/report_site.h"
#include "site/site_run_bytes.h"

// Failing pins: (pin-scan data XOR expected levels) AND NOT the pins not examined, with the
// levels from driver slots 5/6 and the mask from slots 7/8 (low and high 32 bits).
std::uint64_t FailingPins(const ZV_Driver_INI& driver, std::uint64_t pinScan);

// The socket pin list of the failing pins, each entry followed by ", " ("1, 5, "): every
// driver pin name (UCFPIN1..56) found in the pin name table whose bit is set in `failing`,
// numbered on the part (socket pin minus (56 - pin count) / 2). Empty when none fails.
std::string FailingPinList(const ZV_Driver_INI& driver, std::uint64_t failing);

// Records InsertState (reply byte 55) and PinState, then reports:
//   verdict 0xA1 with PinscanCheck and `report`: " - Pin <list> of IC is Fail!" (red) when
//     the list is not empty;
//   socket 1 not chosen: " - No Choose Textool!" (red), nothing more;
//   with `report`: 0xA0 " - Insert Detect Pass" (green); 0xA5 " - IC Was Not Detected!"
//     (red); other: with PinscanCheck " - PinScan = 0x" + at least 8 hex digits and " - Insert
//     Detect Fail!" (red), without it " - Ignore Insert Detect!" (orange);
//   and sets socket 1's run field of the plan to the verdict.
void ReportInsertDetect(const SiteContext& at, std::span<const std::uint8_t> reply, bool report);

// The decision of the automatic loop's socket-state wait once the detection has run: the
// wanted state is reached when a part is in (0xA0) while waiting for one, or when every
// socket is empty (0xA1 with InsertState 0xA5) while waiting for removal.
bool DetectionReachesState(SiteResult detection, const SiteRunBytes& runBytes);
