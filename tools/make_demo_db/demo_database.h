#pragma once
// Writes the complete demo "DataBase" tree and "System/Hardware.ini" below a base folder:
// the driver index, one driver INI, driver file and FPGA file per part of demo_parts.h, their
// menu files, and the password-protected firmware archive "DataBase/Update/Data.dat".
#include <cstdint>
#include <string>
#include <vector>

class Archiver;

// `baseDir` ends in "/" or not; existing files of the tree are replaced, others are kept.
bool MakeDemoDatabase(const Archiver& archiver, const std::string& baseDir, std::string& error);

// The 512 KiB firmware image: generated code, 0xFF padding and the 12-byte trailer (version
// bytes, covered length, CRC-32 of the covered bytes).
std::vector<std::uint8_t> MakeDemoFirmwareImage(const std::string& version, std::uint32_t covered);
