#pragma once
// A unit's SD card holding a run project, written straight into the simulated card's folder:
// the list naming the run slot and the slot's nine files made from a part plan, so the SD run
// tests need no store operation to put it there.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "project/slot_image.h"
#include "tests/site/run_rig.h"

namespace card_rig {

inline std::uint32_t ByteSum(const std::vector<std::uint8_t>& bytes) {
  std::uint32_t sum = 0;
  for (std::uint8_t b : bytes) sum += b;
  return sum;
}

inline void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

inline std::string Flag(const char* key, std::uint8_t on) {
  return std::string(key) + "=" + (on ? "1" : "0") + "\n";
}

// The information file as a project carries it.
inline std::string InfoText(const S_ProjectValue& value) {
  std::string text = "[ProjectInfo]\n";
  const char* sockets[] = {"Textool1Check", "Textool2Check", "Textool3Check", "Textool4Check"};
  const char* areas[] = {"MainMeMCheck", "Ext1MeMCheck", "Ext2MeMCheck", "Ext3MeMCheck"};
  const char* steps[] = {"PinscanCheck", "IDCheck",     "EraseCheck",  "BlankCheck",
                         "ProgramCheck", "VerifyCheck", "ProtectCheck"};
  for (std::size_t k = 0; k < 4; ++k) text += Flag(sockets[k], value.Textool[k]);
  for (std::size_t k = 0; k < 4; ++k) text += Flag(areas[k], value.MemArea[k]);
  for (std::size_t k = 0; k < 7; ++k) text += Flag(steps[k], value.Step[k]);
  return text + "Manufacturer=" + value.Manufacturer + "\nPartsNumber=" + value.PartsNumber + "\n";
}

// The option record: the memory, socket and step flags, then the area lengths.
inline std::vector<std::uint8_t> OptionBytes(const S_ProjectValue& value, std::uint64_t length) {
  SlotImage record;
  std::vector<std::uint8_t> flags(value.MemArea.begin(), value.MemArea.end());
  flags.insert(flags.end(), value.Textool.begin(), value.Textool.end());
  flags.insert(flags.end(), value.Step.begin(), value.Step.end());
  for (std::size_t k = 0; k < 16; ++k) record.SetSlot(k, k < flags.size() ? flags[k] : 0);
  record.SetSlot(16, static_cast<std::uint32_t>(length));
  record.SetSlot(17, 0);
  return {record.Data(), record.Data() + 100};
}

// Puts `part` with its data `image` in slot `slot` of the card and names it the run project.
inline void PutRunProject(const std::filesystem::path& card, int slot, const PartPlan& part,
                          const std::vector<std::uint8_t>& image) {
  ZV_Driver_INI driver;
  S_ProjectValue value;
  RunRig::Fill(part, driver, value);
  SlotImage ini;
  for (std::size_t k = 0; k < driver.Values.size(); ++k) ini.SetSlot(k, driver.Values[k]);
  const std::string name = "Proj" + std::to_string(slot);
  const std::filesystem::path folder = card / name;
  std::filesystem::create_directories(folder);
  const std::vector<std::pair<const char*, std::vector<std::uint8_t>>> files = {
      {"INI", {ini.Data(), ini.Data() + SlotImage::Size()}},
      {"Option", OptionBytes(value, part.dataBytes)},
      {"Menu", std::vector<std::uint8_t>(65536, 0xFF)},
      {"Info", Bytes(InfoText(value))},
      {"Hardware", std::vector<std::uint8_t>(16384, 0xFF)},
      {"Driver", Bytes("driver")},
      {"FPGA", Bytes("fpga")},
      {"Temp", image},
  };
  std::vector<std::uint8_t> sums;
  for (const auto& [file, bytes] : files) {
    WriteFile(folder / file, bytes);
    const std::uint32_t sum = ByteSum(bytes);
    for (int b = 0; b < 4; ++b) sums.push_back(static_cast<std::uint8_t>(sum >> (8 * b)));
  }
  WriteFile(folder / "Checksum", sums);
  WriteFile(card / "List",
            Bytes("[ListName]\nProjCount=1\nProjNumber=" + std::to_string(slot) + "\n" + name +
                  "=Demo\nProjDate" + std::to_string(slot) + "=20260101120000\n"));
}

}  // namespace card_rig
