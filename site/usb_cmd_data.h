#pragma once
// What a unit reported about itself, one record per site. Written only by the site's own
// worker; the options window reads it after that worker has ended.
#include <cstdint>
#include <string>

struct S_GetUSBCmdData {
  std::uint8_t BiosNumber = 0;            // firmware number (valid values 1 and 2)
  std::string BiosVersion;                // firmware version text
  std::string SerialText;                 // serial-number text
  std::string SelfTestText;               // message text of the unit's self test
  std::string FileBiosVersion;            // version text of the firmware image being loaded
  std::uint32_t FileCrc = 0;              // CRC-32 stored in that image
  std::uint32_t FileLength = 0;           // covered length stored in that image
  std::uint32_t SdFreeKBytes = 0;         // free space of the unit's SD card in KBytes
  std::uint8_t FirmwareUpdateResult = 0;  // the last firmware update's result; 0: none ran
};
