#pragma once
// Simulated units with SD cards in host folders, a system with its paths in a private folder,
// and helpers to lay out a card, a project set and a list file, for the card tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "project/cproject.h"
#include "project/sd_project_set.h"
#include "sim/sd_card_commands.h"
#include "site/card_list.h"
#include "site/card_store.h"
#include "site/ops/card_store_ops.h"
#include "site/ops/operation_list.h"
#include "site/rescan.h"
#include "support/checksums.h"
#include "tests/site/run_rig.h"

namespace fs = std::filesystem;

inline void WriteFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct CardRig {
  explicit CardRig(int units, bool timing = false)
      : rig(sim::makeSimRig(Options(units, folder, timing))),
        host(true),
        system(*rig.bus, Config(&captured)) {
    system.AttachHost(host);
    SystemPaths paths;
    paths.BaseDir = folder.Base();
    paths.TempDir = folder.Base() + "tmp/";
    system.SetPaths(paths);
    // Rising identifiers: the rescan orders unit k (and its card "Site" k + 1) to site k.
    for (int k = 0; k < units; ++k) Unit(k).setDateTimeId(0x0134B1C500016F30ULL + k);
    EXPECT_TRUE(RescanUnits(system));
    captured.Clear();
  }
  static sim::RigOptions Options(int units, const TestFolder& folder, bool timing) {
    sim::RigOptions options;
    options.units = units;
    options.virtualOperator = false;
    options.timing = timing;
    options.sdCardRoot = folder.Base() + "cards";
    return options;
  }
  static SiteSystemConfig Config(LogSink* log) {
    SiteSystemConfig config;
    config.LogOverride = log;
    config.Operations = SiteOperationList();
    return config;
  }

  sim::SimUnit& Unit(int k) { return *rig.units[static_cast<std::size_t>(k)]; }
  fs::path Card(int site) const { return folder.Base() + "cards/Site" + std::to_string(site + 1); }
  std::string Temp() const { return system.Paths().TempDir; }
  std::string Line(int site, const std::string& tail) const {
    return "Site #" + std::to_string(site + 1) + tail;
  }
  bool Logged(int site, const std::string& tail, std::uint32_t colour = LogColour::Red) const {
    return captured.Has(Line(site, tail), colour);
  }
  void Card(int site, std::function<void(sim::SdCardState&)> change) {
    Unit(site).withState<sim::SdCardState>(change);
  }

  // The nine files of a set in `folder` (each named by its label), with their right sums.
  static void WriteSet(const std::string& folder, const std::string& info, std::size_t tempBytes) {
    const char* labels[] = {"INI", "Option", "Menu", "Info", "Hardware", "Driver", "FPGA", "Temp"};
    std::array<std::uint32_t, kSdSetSummedFiles> sums{};
    for (std::size_t i = 0; i < kSdSetSummedFiles; ++i) {
      std::string bytes = std::string(labels[i]) + " bytes";
      if (i == 3) bytes = info;
      if (i == 7) bytes = std::string(tempBytes, '\x5A');
      WriteFile(folder + labels[i], bytes);
      sums[i] = ByteSum(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    const auto checksum = EncodeChecksumFile(sums);
    WriteFile(folder + "Checksum", std::string(checksum.begin(), checksum.end()));
  }
  // A set fetched from a card, waiting in the temp folder "Proj".
  void WriteFetchedSet(const std::string& info = "[ProjectInfo]\r\nName=A\r\n",
                       std::size_t tempBytes = 5000) {
    WriteSet(CardFetchFolder(system.Paths()), info, tempBytes);
  }

  // A stored project on a card, directory and all, as the list names it.
  void StoreOnCardFolder(int site, int slot, const std::string& info = "[ProjectInfo]\r\n") {
    WriteSet((Card(site) / CardSlotDirectory(slot)).string() + "/", info, 100);
  }
  void WriteList(int site, const std::string& text) { WriteFile(Card(site) / "List", text); }
  CardList ListOf(int site) const {
    CardList list;
    list.Load((Card(site) / "List").string());
    return list;
  }

  TestFolder folder;
  sim::SimRig rig;
  CapturingLog captured;
  HeadlessSiteHost host;
  SiteSystem system;
  DirectContexts Site{system};  // Site(n): site n's context
};

// "[ListName]" with ProjCount, ProjNumber and the given slots (name "P" + slot, the given date).
inline std::string ListText(int count, int runSlot,
                            const std::vector<std::pair<int, std::string>>& slots) {
  std::string text = "[ListName]\r\nProjCount=" + std::to_string(count) +
                     "\r\nProjNumber=" + std::to_string(runSlot) + "\r\n";
  for (const auto& [slot, date] : slots) {
    text += "Proj" + std::to_string(slot) + "=P" + std::to_string(slot) + "\r\n";
    text += "ProjDate" + std::to_string(slot) + "=" + date + "\r\n";
  }
  return text;
}
