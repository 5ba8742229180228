#pragma once
// The unit preparation, maintenance and firmware update command families of the simulated
// firmware. Each install function adds its handlers to a registry.
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/command_context.h"

namespace sim {

inline constexpr std::size_t kHardwareValueCount = 10;

// What the preparation commands have done to the unit since it was plugged.
struct PreparationState {
  bool hardwareSet = false;
  // The ten hardware values the last Hardware Init took from the settings image.
  std::array<std::int32_t, kHardwareValueCount> hardwareValues{};
  bool driverSettingsSet = false;
  bool driverCrcGood = false;
  bool fpgaReady = false;
  std::uint32_t driverLength = 0;
};

// Maintenance facts a test may look at: key presses pending, burn-in and I/O mode.
struct MaintenanceState {
  std::uint32_t startKeyPresses = 0;  // each answers one start-key detection with 0xA0
  // With the virtual operator on: when the operator's press (seen at a detection that found
  // none) lands.
  std::optional<std::chrono::steady_clock::time_point> operatorPressDue;
  bool burnInRunning = false;
  bool ioModeSet = false;
  std::uint32_t ledFlashes = 0;
  bool selfTestFails = false;  // the self test then reports 0xA2 and a failing message
  std::string selfTestText;    // the message's bytes; empty: the standard message
};

// Check USB Power 0xC936, Hardware Init 0x44BB (takes the ten hardware values from the
// settings image), Driver INI 0x41BE, driver CRC check 0x43BC (CRC-32 of p4 bytes at the
// driver image address against argument 2), FPGA Init 0x42BD (fails while the FPGA image area
// holds no image, all 0xFF), Get FPGA ID 0x619E.
void installPreparationCommands(CommandRegistry& registry);
// Power LED flash 0x56A9, firmware number 0x53AC (reply byte 20) and version 0x57A8 (reply
// bytes 12..15), reset 0x54AB (accepted; the unit restarts: leaves and comes back), self test
// 0x55AA (its message into memory at p3), start key 0xCA35 (with the virtual operator on, a
// detection that finds no press makes the operator press it: a later one after the mean
// insertion delay finds it), burn-in 0xC23D (accepted, never
// completes), I/O mode frame 0xA9.
void installMaintenanceCommands(CommandRegistry& registry);
// Master firmware update 0x52AD: checks the 512 KiB image at 0x20000000 by its trailer
// (0xA2 on a bad CRC or length) and takes its version.
void installFirmwareCommands(CommandRegistry& registry);

// Reply offsets of the firmware facts.
namespace ReplyOffset {
inline constexpr std::size_t FirmwareVersion = 12;
inline constexpr std::size_t FirmwareNumber = 20;
}  // namespace ReplyOffset

// How long a reset keeps the unit off the bus.
inline constexpr std::chrono::milliseconds kRestartTime{300};

}  // namespace sim
