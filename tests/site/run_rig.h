#pragma once
// A site system on simulated units with a loaded project of our own making, for the RUN ALL
// and automatic loop tests: the paths in a private folder, the data image where a project load
// leaves it, the per-site records of one part, and the units bound to their sites.
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "project/driver_slots.h"
#include "records/record_store.h"
#include "site/ops/operation_list.h"
#include "site/rescan.h"
#include "tests/site/site_test_rig.h"

// The part and the procedure a test runs.
struct PartPlan {
  std::uint64_t dataBytes = 4096;
  bool program = true;
  bool verify = true;
  bool erase = true;
  bool blank = false;
  bool id = false;
  bool pinscan = true;
  bool insertDetect = true;  // driver slot 119
  bool nand = false;
  std::uint32_t blockLength = 0;
  std::int32_t processBlocks = 0;
  std::uint32_t totalBlocks = 0;
};

inline std::vector<std::uint8_t> PatternImage(std::size_t bytes, unsigned seed = 7) {
  std::vector<std::uint8_t> image(bytes);
  std::mt19937 random(seed);
  for (auto& byte : image) byte = static_cast<std::uint8_t>(random());
  return image;
}

class TestFolder {
 public:
  TestFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("zv_run_" + std::to_string(seed()) + "_" + std::to_string(seed()));
    std::filesystem::create_directories(path_ / "Temp");
    std::filesystem::create_directories(path_ / "tmp");
  }
  ~TestFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  std::string Base() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

struct RunRig {
  explicit RunRig(const sim::RigOptions& options, LogSink* log = nullptr)
      : rig(sim::makeSimRig(options)), host(true), system(*rig.bus, Config(log ? log : &captured)) {
    system.AttachHost(host);
    SystemPaths paths;
    paths.BaseDir = folder.Base();
    paths.TempDir = folder.Base() + "tmp/";
    system.SetPaths(paths);
  }
  static sim::RigOptions Options(int units) {
    sim::RigOptions options;
    options.units = units;
    options.virtualOperator = false;
    return options;
  }
  static SiteSystemConfig Config(LogSink* log) {
    SiteSystemConfig config;
    config.LogOverride = log;
    config.Operations = SiteOperationList();
    return config;
  }

  // Writes the data image and puts a project for `part` in place on every site.
  void Load(const PartPlan& part, const std::vector<std::uint8_t>& image) {
    std::FILE* file = std::fopen(DataImagePath(system.Paths()).c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(image.data(), 1, image.size(), file), image.size());
    std::fclose(file);
    std::unique_ptr<LoadedProject> project = system.NewProject();
    project->SetPath("/projects/Demo.zvprj");
    project->Project().ProcessBlocks = std::to_string(part.processBlocks);
    ProjectRecords& records = project->Records();
    for (std::size_t site = 0; site < kSiteCount; ++site) {
      Fill(part, records.DriverIni[site], records.ProjectValue[site]);
      BuildSiteProcessPlan(records, site);
    }
    ASSERT_TRUE(system.ReplaceProject(std::move(project)));
  }

  static void Fill(const PartPlan& part, ZV_Driver_INI& driver, S_ProjectValue& value) {
    auto& v = driver.Values;
    v[DriverSlot::AreaEndLow(0)] = static_cast<std::uint32_t>(part.dataBytes - 1);
    v[DriverSlot::AreaEndHigh(0)] = static_cast<std::uint32_t>((part.dataBytes - 1) >> 32);
    v[DriverSlot::InsertDetectSupport] = part.insertDetect ? 1 : 0;
    v[DriverSlot::IDCheckSupport] = 1;
    v[DriverSlot::BlockOrganised] = part.nand ? 1 : 0;
    v[DriverSlot::BlockLength] = part.blockLength;
    v[DriverSlot::TotalBlocks] = part.totalBlocks;
    v[DriverSlot::PinIgnoreLow] = 0xFFFFFFFF;
    v[DriverSlot::PinIgnoreHigh] = 0xFFFFFFFF;
    driver.Type = part.nand ? "NAND FLASH" : "SPI FLASH";
    value.Textool = {1, 0, 0, 0};
    value.MemArea = {1, 0, 0, 0};
    value.Step = {part.pinscan, part.id, part.erase, part.blank, part.program, part.verify, 0};
    value.Manufacturer = "Acme";
    value.PartsNumber = "AC25Q80";
  }

  // Binds the units (greeting and identifier) and forgets the greeting's lines.
  void Bind() {
    ASSERT_TRUE(RescanUnits(system));
    captured.Clear();
    host.ClearEvents();
  }

  std::vector<PartRecord> Records() {
    EXPECT_TRUE(system.PartRecords()->Flush(std::chrono::seconds(30)));
    RecordStore store(RecordStore::PathBelow(folder.Base()));
    std::vector<PartRecord> rows;
    EXPECT_TRUE(store.QuerySince("", rows).Ok());
    return rows;
  }

  sim::SimUnit& Unit(int k) { return *rig.units[static_cast<std::size_t>(k)]; }

  TestFolder folder;
  sim::SimRig rig;
  CapturingLog captured;
  HeadlessSiteHost host;
  SiteSystem system;
  DirectContexts Site{system};  // Site(n): site n's context
};
