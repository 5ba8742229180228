#pragma once
// The units' firmware: BIOS Version Get (opcode 4), Reset (opcode 7) and the firmware update
// (opcode 8), which brings a unit to the version of the image in the temporary folder.
#include <string>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

// The unit's version text into BiosVersion; an invalid version (B = 0xFF) fails and leaves
// BiosVersion as it was.
SiteResult BiosVersionGet(SiteContext& ctx, const OperationTexts& texts = {});

// Sends the reset and reads no reply; 0xA0, or 0xA1 when the unit is gone afterwards.
SiteResult ResetUnit(SiteContext& ctx, const OperationTexts& texts = {});

// The unit checks the image in its memory and writes it to its master and slave stores; its
// answer (0xA0, 0xA1, 0xA2 image CRC, 0xA3 master store, 0xA4 slave store), 0xA1 otherwise.
SiteResult UpdateMasterBiosHandle(SiteContext& ctx);

// Checks the image at `path` by its trailer, sends it to the unit, has it stored and resets the
// unit: 0xA0 or 0xA1. Fills FileCrc, FileLength and FileBiosVersion.
SiteResult LoadFirmwareImage(SiteContext& ctx, const std::string& path);

// Compares the unit's version with the image's and updates the unit when they differ; when
// they are equal, warns where the software (`softwareVersion`, major.minor.release.build), the
// database and the unit's firmware do not suit each other. Warnings never fail.
SiteResult UpdateFirmwareFor(SiteContext& ctx, const std::string& softwareVersion);
// Opcode 8: UpdateFirmwareFor with this program's version.
SiteResult UpdateFirmware(SiteContext& ctx, const OperationTexts& texts = {});
