#include "tools/make_demo_db/demo_database.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "project/driver_index.h"
#include "project/driver_slots.h"
#include "project/hardware_ini.h"
#include "project/pin_names.h"
#include "support/archiver.h"
#include "support/checksums.h"
#include "tools/make_demo_db/demo_parts.h"

namespace fs = std::filesystem;

namespace {

constexpr char kEol[] = "\r\n";
constexpr std::size_t kFirmwareSize = 0x80000;
constexpr std::size_t kTrailerVersion = 0x7FFF4;
constexpr std::size_t kTrailerLength = 0x7FFF8;
constexpr std::size_t kTrailerCrc = 0x7FFFC;
constexpr std::size_t kFpgaLimit = 0x24C00;
constexpr std::size_t kUcfPins = 56;
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool WriteBytes(const std::string& path, std::string_view bytes, std::string& error) {
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) error = "cannot write " + path;
  return static_cast<bool>(out);
}

std::string Line(std::string_view key, std::string_view value) {
  return std::string(key) + "=" + std::string(value) + kEol;
}
std::string Line(std::string_view key, std::uint64_t value) {
  return Line(key, std::to_string(value));
}

std::string Hex(std::uint32_t value) {
  std::string text = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) text += kHexDigits[(value >> shift) & 0xF];
  return text;
}

// Bytes of a made-up file: a short header naming it, then an LFSR stream seeded per file.
std::string GeneratedFile(std::string_view tag, std::size_t size, std::uint32_t seed) {
  std::string bytes(tag);
  bytes.push_back('\0');
  std::uint32_t x = seed | 1;
  while (bytes.size() < size) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes.push_back(static_cast<char>(x & 0xFF));
  }
  bytes.resize(size);
  return bytes;
}

std::uint32_t SeedOf(std::string_view text) {
  std::uint32_t seed = 2166136261u;
  for (char c : text) seed = (seed ^ static_cast<std::uint8_t>(c)) * 16777619u;
  return seed;
}

// Pin names of the part's signals in socket order; "VCC", "GND" and "NC" are not signals.
std::vector<std::string> PinNames(const DemoPart& part) {
  if (part.PinCount == 8) {
    return {"IO_CE", "IO_D<1>", "IO_WP", "GND", "IO_D<0>", "IO_A<0>", "IO_RP", "VCC"};
  }
  std::vector<std::string> names;
  const int address = part.Nand ? 2 : 21;
  const int data = part.DataMask == 0xFFFF ? 16 : 8;
  for (int k = 0; k < address; ++k) names.push_back("IO_A<" + std::to_string(k) + ">");
  for (int k = 0; k < data; ++k) names.push_back("IO_D<" + std::to_string(k) + ">");
  for (const char* name : {"IO_CE", "IO_OE", "IO_WE", "IO_RP", "IO_WP", "IO_RB"}) {
    names.emplace_back(name);
  }
  if (!part.Nand) names.emplace_back("IO_BYTE");
  while (names.size() + 2 < part.PinCount) names.emplace_back("NC");
  names.emplace_back("VCC");
  names.emplace_back("GND");
  return names;
}

std::string DriverPinLines(const DemoPart& part, std::uint64_t& usedBits) {
  const std::vector<std::string> names = PinNames(part);
  const std::size_t offset = (kUcfPins - part.PinCount) / 2;
  std::string text;
  usedBits = 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    text += Line("UCFPIN" + std::to_string(offset + i + 1), names[i]);
    // The bit of a signal in a unit's pin-check result is its place in the pin name table.
    if (const auto bit = PinBitOf(names[i])) usedBits |= std::uint64_t{1} << *bit;
  }
  return text;
}

std::string AreaLines(const DemoPart& part) {
  std::string text;
  const char* names[] = {"Main", "Ext1", "Ext2", "Ext3"};
  for (std::size_t a = 0; a < 4; ++a) {
    const DemoArea& area = part.Areas[a];
    const std::string n = names[a];
    text += Line(n + "StartHigh", Hex(static_cast<std::uint32_t>(area.Start >> 32)));
    text += Line(n + "StartLow", Hex(static_cast<std::uint32_t>(area.Start)));
    text += Line(n + "EndHigh", Hex(static_cast<std::uint32_t>(area.End >> 32)));
    text += Line(n + "EndLow", Hex(static_cast<std::uint32_t>(area.End)));
  }
  return text;
}

std::string DriverIniText(const DemoPart& part) {
  std::string text = std::string("[ZV80ExternValue]") + kEol;
  text += Line("IniVersion", "1.0");
  text += Line("BRAND", part.Manufacturer);
  text += Line("NAME", part.PartName);
  text += Line("UserWav", part.DriverFile);
  text += Line("FPGAFile", part.FpgaFile);
  text += Line("ICSIZE", part.IcSize);
  text += Line("Type", part.Type);
  text += Line("NOTE", std::string(part.Family) + " demo driver^Made for the simulated units");
  text += Line("Date", kDemoDriverDate);
  text += Line("MenuFile", part.MenuFile);
  text += Line("Close_ProgSelection", std::uint64_t{0});
  text += Line("ChipID0", Hex(part.ChipId));
  text += Line("IDLength", part.IdCheck ? 4 : 0);
  text += Line("VccLevel", part.Nand || part.PinCount == 48 ? 330 : 500);
  text += Line("BusWidth", part.DataMask == 0xFFFF ? 16 : 8);
  text += Line("PageSize", part.Nand ? 2048 : 256);
  text += Line("BlankValue", Hex(part.DataMask));
  std::uint64_t used = 0;
  const std::string pins = DriverPinLines(part, used);
  text += Line("PinLevelLow", std::uint64_t{0});
  text += Line("PinLevelHigh", std::uint64_t{0});
  text += Line("PinIgnoreLow", Hex(static_cast<std::uint32_t>(~used)));
  text += Line("PinIgnoreHigh", Hex(static_cast<std::uint32_t>(~used >> 32)));
  text += AreaLines(part);
  text += Line("ShowErrorAddress", 1);
  text += Line("ProgramNoUnProtect", std::uint64_t{0});
  text += Line("IDCheckSupport", part.IdCheck ? 1 : 0);
  text += Line("UnProtectNeeded", part.UnProtect ? 1 : 0);
  text += Line("TotalBlocks", part.TotalBlocks);
  text += Line("BlockLength", part.BlockLength);
  if (part.Nand) text += Line("PagesPerBlock", part.BlockLength / 2048);
  text += Line("InsertDetectSupport", part.InsertDetect ? 1 : 0);
  text += Line("NandFlash", part.Nand ? 1 : 0);
  text += Line("PinCount", part.PinCount);
  text += Line("DataMask", Hex(part.DataMask));
  return text + pins;
}

// Two pages: numbers and a choice on the first, a text and a 6-byte value on the second.
std::string MenuText(const DemoPart& part) {
  std::string text = std::string("[CurrentUserPage]") + kEol;
  text += Line("Total", 2);
  text += Line("Date", kDemoMenuDate);
  text += Line("Caption", std::string(part.PartName) + " options");
  text += std::string(kEol) + "[CurrentUserPage_0]" + kEol;
  text += Line("ComponentTotal", 4);
  text += Line("ComponentType0", 3) + Line("Caption0", "Programming");
  text += Line("ComponentType1", 0) + Line("Caption1", "Retry count");
  text += Line("ComponentType2", 2) + Line("ValueType2", 0) + Line("Caption2", "Speed");
  text += Line("ComponentType3", 1) + Line("Caption3", "Verify after program");
  text += std::string(kEol) + "[CurrentUserPage_1]" + kEol;
  text += Line("ComponentTotal", 3);
  text += Line("ComponentType0", 2) + Line("ValueType0", 6) + Line("Length0", 8) +
          Line("Caption0", "Lot text");
  text += Line("ComponentType1", 2) + Line("ValueType1", 2) + Line("Caption1", "Serial start");
  text += Line("ComponentType2", 2) + Line("ValueType2", 7) + Line("Caption2", "Note");
  return text;
}

std::string SelectText() {
  std::string text = std::string("ZV80 Driver Select List") + kEol + kDemoDriverDate + kEol;
  for (const DemoPart& part : kDemoParts) {
    text += std::string(part.Manufacturer) + kEol + part.PartName + kEol + part.Family + kEol;
    text +=
        std::string("DataBase\\INI\\") + part.Manufacturer + "\\" + part.PartName + ".ini" + kEol;
  }
  return text;
}

std::string HardwareText() {
  std::string text = std::string("[Hardware]") + kEol;
  for (const HardwareKey& key : kHardwareKeys) {
    text += Line(key.Name, std::to_string(key.Default));
  }
  return text;
}

void PutLE32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool WriteFirmwareArchive(const Archiver& archiver, const std::string& base, std::string& error) {
  // The members lie in a sub-folder of the archive, as the extraction ("-r") allows.
  const std::string stage = base + "DataBase/Update/firmware.work/";
  const std::string work = stage + "BIOS/";
  const std::vector<std::uint8_t> image = MakeDemoFirmwareImage(kDemoBiosVersion, kDemoBiosCovered);
  const std::string info = std::string("[BIOSInfo]") + kEol +
                           Line("BIOSSupportOldMultipleUIVer", kDemoBiosSupportOldUi) +
                           Line("BIOSVersion", kDemoBiosVersion);
  bool ok = WriteBytes(work + "BIOS.BIN",
                       std::string_view(reinterpret_cast<const char*>(image.data()), image.size()),
                       error) &&
            WriteBytes(work + "BIOSInfo.ini", info, error);
  if (ok) {
    const ArchiveResult made = archiver.Create(base + "DataBase/Update/Data.dat", {stage + "BIOS"},
                                               ArchivePassword::Firmware);
    ok = made.Ok();
    if (!ok) error = "cannot make Data.dat: " + made.Error;
  }
  std::error_code ec;
  fs::remove_all(stage, ec);
  return ok;
}

bool WritePartFiles(const std::string& base, const DemoPart& part, std::string& error) {
  const std::string ini = base + "DataBase/INI/" + part.Manufacturer + "/" + part.PartName + ".ini";
  if (!WriteBytes(ini, DriverIniText(part), error)) return false;
  if (std::string_view(part.MenuFile) != "NONE" &&
      !WriteBytes(base + "DataBase/Menu/" + part.MenuFile, MenuText(part), error)) {
    return false;
  }
  const std::string driver = GeneratedFile(part.DriverFile, 0x8000, SeedOf(part.DriverFile));
  if (!WriteBytes(base + "DataBase/Driver/" + part.DriverFile, driver, error)) return false;
  const std::string fpga = GeneratedFile(part.FpgaFile, kFpgaLimit - 0x400, SeedOf(part.FpgaFile));
  return WriteBytes(base + "DataBase/FPGA/" + part.FpgaFile, fpga, error);
}

}  // namespace

std::vector<std::uint8_t> MakeDemoFirmwareImage(const std::string& version, std::uint32_t covered) {
  std::vector<std::uint8_t> image(kFirmwareSize, 0xFF);
  // Tests ask for broken trailers too: the code never runs into the trailer.
  const std::size_t codeLength = std::min<std::size_t>(covered, kTrailerVersion);
  const std::string code = GeneratedFile("ZV80 BIOS " + version, codeLength, SeedOf(version));
  std::copy(code.begin(), code.end(), image.begin());
  // Version bytes: number, character, number, character ("2.5" -> 2 '.' 5 0).
  std::uint8_t bytes[4] = {0, 0, 0, 0};
  const std::size_t dot = version.find('.');
  bytes[0] = static_cast<std::uint8_t>(std::stoi(version.substr(0, dot)));
  if (dot != std::string::npos) {
    bytes[1] = '.';
    std::size_t digits = 0;
    bytes[2] = static_cast<std::uint8_t>(std::stoi(version.substr(dot + 1), &digits));
    const std::size_t letter = dot + 1 + digits;
    if (letter < version.size()) bytes[3] = static_cast<std::uint8_t>(version[letter]);
  }
  std::copy(bytes, bytes + 4, image.begin() + kTrailerVersion);
  PutLE32(image, kTrailerLength, covered);
  const auto crcLength = static_cast<std::uint32_t>(std::min<std::size_t>(covered, kTrailerCrc));
  PutLE32(image, kTrailerCrc, Crc32(image.data(), crcLength));
  return image;
}

bool MakeDemoDatabase(const Archiver& archiver, const std::string& baseDir, std::string& error) {
  std::string base = baseDir;
  if (!base.empty() && base.back() != '/') base += '/';
  if (!WriteBytes(base + kSelectListPath, SelectText(), error)) return false;
  for (const DemoPart& part : kDemoParts) {
    if (!WritePartFiles(base, part, error)) return false;
  }
  if (!WriteBytes(base + kHardwareIniPath, HardwareText(), error)) return false;
  return WriteFirmwareArchive(archiver, base, error);
}
