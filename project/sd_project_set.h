#pragma once
// The SD card project set: the nine files a unit stores for a stand-alone run, each with the
// label used in messages and as its file name on the card.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct SystemPaths;
struct ZV_Driver_INI;

namespace SdSetLabel {
inline constexpr const char* Ini = "INI";
inline constexpr const char* Option = "Option";
inline constexpr const char* Menu = "Menu";
inline constexpr const char* Info = "Info";
inline constexpr const char* Hardware = "Hardware";
inline constexpr const char* Driver = "Driver";
inline constexpr const char* Fpga = "FPGA";
inline constexpr const char* Temp = "Temp";
inline constexpr const char* Checksum = "Checksum";
}  // namespace SdSetLabel

struct SdSetFile {
  const char* Label;
  std::string Path;  // the file on the PC
};

inline constexpr std::size_t kSdSetFileCount = 9;
inline constexpr std::size_t kSdSetSummedFiles = 8;  // all but "Checksum"
inline constexpr std::size_t kChecksumFileSize = kSdSetSummedFiles * 4;

// The nine PC files in card order: INI, Option, Menu, Info, Hardware, Driver, FPGA, Temp,
// Checksum. Driver and FPGA come from the loaded driver's UserWav and FPGAFile.
std::array<SdSetFile, kSdSetFileCount> SdProjectSetFiles(const SystemPaths& paths,
                                                         const ZV_Driver_INI& driver);

// The 32 bytes of "Checksum": the eight sums, little-endian, in card order.
std::array<std::uint8_t, kChecksumFileSize> EncodeChecksumFile(
    const std::array<std::uint32_t, kSdSetSummedFiles>& sums);
