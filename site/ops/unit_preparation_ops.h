#pragma once
// Unit preparation (opcodes 9, 10, 11): before a unit runs a procedure it is told its power is
// checked, receives the hardware settings, the part's driver settings, the driver image (with
// a CRC check by the unit) and the FPGA image (with its initialisation). Each stops at its
// first failure with 0xA1, so the worker never runs a half-prepared unit.
#include <cstdint>
#include <string>

#include "link/frame_codes.h"
#include "site/thread_info.h"

class SiteContext;

// The most of each image file that is read and sent; a longer file is cut at the limit.
inline constexpr std::uint32_t kDriverImageLimit = 0xC0000;  // 786432 bytes
inline constexpr std::uint32_t kFpgaImageLimit = 0x24C00;    // 150528 bytes

// Database folders below BaseDir.
inline constexpr char kDriverFolder[] = "DataBase/Driver";
inline constexpr char kFpgaFolder[] = "DataBase/FPGA";

// Opcode 9: "Check USB Power".
SiteResult CheckUsbPower(SiteContext& ctx, const OperationTexts& texts = {});
// Opcode 10: the hardware image from BaseDir/System/Hardware.ini, then "Hardware Init Setting".
SiteResult SendHardwareSettings(SiteContext& ctx, const OperationTexts& texts = {});
// Opcode 11: the loaded project's driver image, "Driver INI Setting", then the site's driver
// image (UserWav) and FPGA image (FPGAFile) from the database.
SiteResult SendDriverSettings(SiteContext& ctx, const OperationTexts& texts = {});

// Sends up to kDriverImageLimit bytes of the file, padded with 0xFF, and has the unit check
// the CRC-32 of the bytes that came from the file. The unit's verdict decides, even after a
// failed transfer.
SiteResult SendDriverImage(SiteContext& ctx, const std::string& path);
// Sends up to kFpgaImageLimit bytes of the file, padded with 0xFF; with `init`, then
// "FPGA Init".
SiteResult SendFpgaImage(SiteContext& ctx, const std::string& path, bool init);
