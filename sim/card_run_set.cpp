#include "sim/card_run_set.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <iterator>
#include <sstream>

#include "sim/command_block.h"
#include "sim/procedure_commands.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

// Slots of the option record (32-bit little-endian each).
namespace OptionSlot {
inline constexpr std::size_t IdCheck = 9;
inline constexpr std::size_t Erase = 10;
inline constexpr std::size_t Blank = 11;
inline constexpr std::size_t Program = 12;
inline constexpr std::size_t Verify = 13;
inline constexpr std::size_t Protect = 14;
inline constexpr std::size_t MainLength = 16;
inline constexpr std::size_t ExtLength = 17;
}  // namespace OptionSlot

// Driver settings slots the firmware reads to shape the procedure.
namespace DriverSlot {
inline constexpr std::size_t ProtectKeepsUnprotect = 74;
inline constexpr std::size_t IdSupport = 78;
inline constexpr std::size_t NeedsUnprotect = 81;
inline constexpr std::size_t InsertSupport = 119;
inline constexpr std::size_t BlockOrganised = 166;
}  // namespace DriverSlot

constexpr std::uint16_t kBadBlockScan = 0x25DA;
constexpr std::size_t kOptionBytes = 100;
constexpr std::size_t kDriverSettingsBytes = 16384;
constexpr std::size_t kHardwareBytes = 16384;
constexpr std::uint32_t kUnset = 0xFFFFFFFF;
constexpr const char* kListKey = "ProjNumber";

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  const std::string text = readText(path);
  return {text.begin(), text.end()};
}

std::uint32_t slotOf(const std::vector<std::uint8_t>& image, std::size_t index) {
  if (4 * index + 4 > image.size()) return 0;
  const std::uint32_t value = readLe32(image.data() + 4 * index);
  return value == kUnset ? 0 : value;
}

std::uint32_t byteSum(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum;
}

// The files the checksum file covers, in its order.
constexpr std::array<const char*, 8> kSummedFiles = {"INI",      "Option", "Menu", "Info",
                                                     "Hardware", "Driver", "FPGA", "Temp"};

// The byte sums of the checksum file must match the eight files they cover.
bool checksumsMatch(const fs::path& folder) {
  const auto& kFiles = kSummedFiles;
  const std::vector<std::uint8_t> sums = readBytes(folder / "Checksum");
  if (sums.size() < 4 * kFiles.size()) return false;
  for (std::size_t i = 0; i < kFiles.size(); ++i) {
    if (readLe32(sums.data() + 4 * i) != byteSum(readBytes(folder / kFiles[i]))) return false;
  }
  return true;
}

std::vector<std::uint16_t> buildSteps(const std::vector<std::uint8_t>& option,
                                      const std::vector<std::uint8_t>& driver,
                                      std::uint64_t dataLength, std::uint32_t chunkLength) {
  auto on = [&](std::size_t s) { return slotOf(option, s) != 0; };
  auto has = [&](std::size_t s) { return slotOf(driver, s) != 0; };
  std::vector<std::uint16_t> steps;
  if (has(DriverSlot::InsertSupport)) steps.push_back(StepCode::InsertDetect);
  if (on(OptionSlot::IdCheck) && has(DriverSlot::IdSupport)) steps.push_back(StepCode::IdCheck);
  if (has(DriverSlot::BlockOrganised)) steps.push_back(kBadBlockScan);
  if (on(OptionSlot::Erase)) {
    if (has(DriverSlot::NeedsUnprotect)) steps.push_back(StepCode::UnProtect);
    steps.push_back(StepCode::ChipErase);
  }
  if (on(OptionSlot::Blank)) steps.push_back(StepCode::BlankCheck);
  const std::uint64_t chunks = (dataLength + chunkLength - 1) / chunkLength;
  const bool program = on(OptionSlot::Program);
  if (program) {
    if (!has(DriverSlot::ProtectKeepsUnprotect) && has(DriverSlot::NeedsUnprotect)) {
      steps.push_back(StepCode::UnProtect);
    }
    for (std::uint64_t c = 0; c < chunks; ++c)
      steps.insert(steps.end(), {StepCode::DataChunk, StepCode::Program});
  }
  if (on(OptionSlot::Verify)) {
    if (chunks == 1) {
      if (!program) steps.push_back(StepCode::DataChunk);
      steps.push_back(StepCode::Verify);
    } else {
      for (std::uint64_t c = 0; c < chunks; ++c)
        steps.insert(steps.end(), {StepCode::DataChunk, StepCode::Verify});
    }
  }
  if (on(OptionSlot::Protect)) steps.push_back(StepCode::Protect);
  return steps;
}

}  // namespace

int cardRunSlot(const std::string& listText) {
  std::istringstream lines(listText);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq);
    key.erase(
        std::remove_if(key.begin(), key.end(), [](unsigned char c) { return std::isspace(c); }),
        key.end());
    if (key != kListKey) continue;
    try {
      return std::stoi(line.substr(eq + 1));
    } catch (const std::exception&) {
      return -1;
    }
  }
  return -1;
}

CardRunSet readCardRunSet(const fs::path& card, std::uint32_t chunkLength) {
  CardRunSet set;
  const int slot = cardRunSlot(readText(card / "List"));
  std::error_code ec;
  const fs::path folder = card / ("Proj" + std::to_string(slot));
  if (slot < 0 || !fs::is_directory(folder, ec)) return set;
  set.driverSettings = readBytes(folder / "INI");
  const std::vector<std::uint8_t> option = readBytes(folder / "Option");
  set.dataImage = folder / "Temp";
  if (set.driverSettings.size() < kDriverSettingsBytes) {
    set.refusal = CardRunRefusal::DriverSettings;
  } else if (!fs::is_regular_file(folder / "FPGA", ec)) {
    set.refusal = CardRunRefusal::Fpga;
  } else if (!fs::is_regular_file(folder / "Driver", ec)) {
    set.refusal = CardRunRefusal::Driver;
  } else if (!fs::is_regular_file(folder / "Menu", ec)) {
    set.refusal = CardRunRefusal::Menu;
  } else if (option.size() < kOptionBytes) {
    set.refusal = CardRunRefusal::Option;
  } else if (!fs::is_regular_file(set.dataImage, ec)) {
    set.refusal = CardRunRefusal::DataImage;
  } else if (!fs::is_regular_file(folder / "Hardware", ec) ||
             fs::file_size(folder / "Hardware", ec) < kHardwareBytes) {
    set.refusal = CardRunRefusal::Hardware;
  } else if (!checksumsMatch(folder)) {
    set.refusal = CardRunRefusal::Checksum;
  } else {
    set.refusal = CardRunRefusal::None;
  }
  const std::uint64_t length =
      std::uint64_t{slotOf(option, OptionSlot::MainLength)} + slotOf(option, OptionSlot::ExtLength);
  set.dataLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, kUnset));
  set.steps = buildSteps(option, set.driverSettings, set.dataLength,
                         std::max<std::uint32_t>(chunkLength, 1));
  return set;
}

}  // namespace sim
