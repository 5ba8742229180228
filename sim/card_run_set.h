#pragma once
// What a unit reads from its SD card before a stand-alone run: the list file names the run
// project's slot ("ProjNumber"); that slot's folder holds the driver settings, the option
// record, the menu, the driver, the FPGA image, the data image and the checksum file. The
// unit builds the procedure from the option record and the driver settings with its own
// code, and refuses to start with the code of the first thing it could not set up.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace sim {

// Why a stand-alone run could not start: the first reply carries the code.
namespace CardRunRefusal {
inline constexpr std::uint8_t None = 0xA0;
inline constexpr std::uint8_t DriverSettings = 0xA2;  // "INI"
inline constexpr std::uint8_t Fpga = 0xA3;
inline constexpr std::uint8_t Driver = 0xA4;
inline constexpr std::uint8_t Menu = 0xA5;
inline constexpr std::uint8_t Option = 0xA6;
inline constexpr std::uint8_t DataImage = 0xA7;  // "Temp"
inline constexpr std::uint8_t Checksum = 0xA8;
inline constexpr std::uint8_t List = 0xA9;      // no run project named
inline constexpr std::uint8_t Hardware = 0xAA;  // no whole 16 KiB hardware settings image
}  // namespace CardRunRefusal

struct CardRunSet {
  std::uint8_t refusal = CardRunRefusal::List;
  std::vector<std::uint16_t> steps;
  std::vector<std::uint8_t> driverSettings;  // the 16 KiB "INI" image
  std::uint32_t dataLength = 0;              // main plus Ext areas of the option record
  std::filesystem::path dataImage;           // the card's "Temp" file
};

// Reads the run project of the card kept in `card`; `chunkLength` cuts the data steps.
CardRunSet readCardRunSet(const std::filesystem::path& card, std::uint32_t chunkLength);

// The slot "ProjNumber" of a list file's text names, or -1.
int cardRunSlot(const std::string& listText);

}  // namespace sim
