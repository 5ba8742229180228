#pragma once
// The parts of the demo database, in "Select.SEL" order: one table that the database maker,
// the project maker and the tests read alike. Names of makers and parts are made up.
#include <cstddef>
#include <cstdint>

struct DemoArea {
  std::uint64_t Start = 0;
  std::uint64_t End = 0;  // 0: the area is not used
};

struct DemoPart {
  const char* Manufacturer;
  const char* PartName;
  const char* Family;      // third index line
  const char* Type;        // driver text `Type`
  const char* IcSize;      // driver text `ICSIZE`
  const char* MenuFile;    // below DataBase/Menu/, or "NONE"
  const char* DriverFile;  // `UserWav`, below DataBase/Driver/
  const char* FpgaFile;    // `FPGAFile`, below DataBase/FPGA/
  DemoArea Areas[4];       // main, Ext1, Ext2, Ext3
  std::uint32_t PinCount;
  std::uint32_t DataMask;
  std::uint32_t ChipId;  // ID code the part answers with
  bool IdCheck;
  bool UnProtect;  // UnProtect before erase and program
  bool InsertDetect;
  bool Nand;
  std::uint32_t TotalBlocks;  // NAND only
  std::uint32_t BlockLength;  // NAND only, bytes
};

inline constexpr char kDemoDriverDate[] = "20261120";
inline constexpr char kDemoMenuDate[] = "20261115";
inline constexpr char kDemoBiosVersion[] = "2.5";  // the firmware archive's image
inline constexpr char kDemoBiosSupportOldUi[] = "1.0.0.0";
inline constexpr std::uint32_t kDemoBiosCovered = 0x60000;  // bytes the trailer CRC covers

inline constexpr DemoPart kDemoParts[] = {
    {"Corvan",
     "CV25Q64",
     "Serial NOR Flash",
     "SERIAL FLASH",
     "8M Bytes",
     "CV25Q.mnu",
     "CV25Q.drv",
     "SPI_S8.fpg",
     {{0, 0x7FFFFF}, {}, {}, {}},
     8,
     0xFF,
     0x00EF4017,
     true,
     false,
     true,
     false,
     0,
     0},
    {"Corvan",
     "CV29LV160",
     "Parallel NOR Flash",
     "PARALLEL FLASH",
     "2M Bytes",
     "CV29LV.mnu",
     "CV29LV.drv",
     "PAR_T48.fpg",
     {{0, 0x1FFFFF}, {0x200000, 0x2000FF}, {}, {}},
     48,
     0xFFFF,
     0x000122C4,
     true,
     true,
     true,
     false,
     0,
     0},
    {"Mirel",
     "MR24C256",
     "Serial EEPROM",
     "EEPROM",
     "32K Bytes",
     "NONE",
     "MR24C.drv",
     "I2C_S8.fpg",
     {{0, 0x7FFF}, {}, {}, {}},
     8,
     0xFF,
     0,
     false,
     false,
     true,
     false,
     0,
     0},
    {"Tessa",
     "TS34N1G",
     "NAND Flash",
     "NAND FLASH",
     "128M Bytes",
     "TS34N.mnu",
     "TS34N.drv",
     "NAND_T48.fpg",
     {{0, 0x7FFFFFF}, {}, {}, {}},
     48,
     0xFF,
     0x00ECF100,
     true,
     false,
     true,
     true,
     1024,
     0x20000},
};
inline constexpr std::size_t kDemoPartCount = sizeof(kDemoParts) / sizeof(kDemoParts[0]);
