#pragma once
// The one settings record, loaded from System/System.ini at start-up and by each
// activation of the options window. Plain data: the loader lives beside it.
#include <cstdint>
#include <string>

struct S_SystemPara {
  std::string MegSaveDir;             // folder of automatically saved logs
  std::uint8_t ModeByte = 0xA3;       // copied into byte 18 of every command packet
  std::int32_t PowerLed_RetryCount = 4;
  std::int32_t PowerLed_RetryDelayMS = 2;
  std::int32_t MBoxClrSel = 0;        // 0 auto clear, 1 auto clear and save
  std::int32_t MegLimitRows = 10000;
  std::int32_t DataBufferSel = 0;     // 0 SDRAM (PC-driven runs), 1 SD card (stand-alone)
  std::int32_t AutoRunInterval = 500; // milliseconds
  std::int32_t HandlerModeMarker = 0; // 2012 while the handler mode is on
  std::string ExeDirPath;
  std::int32_t LogDisplayMode = 1;    // 0 None, 1 Essential, 2 All
  std::string RecordsUrl;             // [Records] Url: the line's database; empty: no shipping
};
