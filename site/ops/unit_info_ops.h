#pragma once
// What the options window asks a unit about itself: the power LED flash (opcode 0), the
// firmware number (opcode 3), the serial text (opcode 5) and the self test (opcode 6). What
// the unit reports goes into the site's S_GetUSBCmdData, written only on the site's worker.
#include <cstdint>
#include <string>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;
struct SystemPaths;

// The self-test FPGA image the caller extracts into the temporary folder first.
inline constexpr char kSelfTestImageName[] = "SelfTest.pga";

// The temporary folder's copy of the self-test image.
std::string SelfTestImagePath(const SystemPaths& paths);

// Opcode 0: " - Power Led Flash" and its lines.
SiteResult PowerLedFlash(SiteContext& ctx, const OperationTexts& texts = {});
// Opcode 3: BiosNumber from the reply; a number other than 1 or 2 is stored, logged as
// " - Invalid BIOS Number!" and fails.
SiteResult BiosNumberGet(SiteContext& ctx, const OperationTexts& texts = {});

// The unit copies `length` bytes of its EEPROM from `offset` into its memory at
// `unitAddress`. The unit's answer (0xA0 or 0xA1), 0xA1 for any failure on the PC side.
SiteResult SnRead(SiteContext& ctx, std::uint32_t unitAddress, std::uint32_t offset,
                  std::uint32_t length);
// Opcode 5: the serial text from the EEPROM's first 16 KiB into SerialText.
SiteResult ReadSeriesNumber(SiteContext& ctx, const OperationTexts& texts = {});

// The self-test command alone: the unit's answer 0xA0, 0xA1 (FPGA not initialised) or 0xA2
// (a test failed), 0xA1 for any failure on the PC side.
SiteResult SelfTestCommand(SiteContext& ctx);
// Opcode 6: the self-test image to the unit, the command, then its message into
// SelfTestText; byte 0 of the message decides. A missing image fails without a line.
SiteResult SelfTest(SiteContext& ctx, const OperationTexts& texts = {});
