// The program against the simulator's own timing model: eight sites prepared and programmed with
// a 64 MiB image (one RUN ALL), the eight-site automatic loop with the virtual operator, the
// firmware update of eight units at once, and a project with a 64 MiB image added to eight SD
// cards at once.
// Each figure is wall time (or parts per hour) over the model's minimum for the same work at the
// same scale, so the ratio is the program's overhead and holds on any machine that keeps up.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_loop.h"
#include "bench/bench_util.h"
#include "log/core/log_sink.h"
#include "project/driver_slots.h"
#include "project/hardware_ini.h"
#include "project/project_value.h"
#include "project/sd_project_set.h"
#include "records/record_writer.h"
#include "sim/cpu_meter.h"
#include "sim/sim_bus.h"
#include "sim/sim_factory.h"
#include "sim/work_estimate.h"
#include "site/card_store.h"
#include "site/command.h"
#include "site/firmware_files.h"
#include "site/firmware_image.h"
#include "site/headless_site_host.h"
#include "site/loaded_project.h"
#include "site/ops/card_files.h"
#include "site/ops/operation_list.h"
#include "site/ops/unit_preparation_ops.h"
#include "site/rescan.h"
#include "site/run_recipes.h"
#include "site/site_system.h"
#include "site/site_wait.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kUnits = 8;
constexpr std::uint64_t kImageBytes = 64ull << 20;
// Model time runs this much faster than the wall clock in the programming figure (about 48 s).
// The PC's own work (moving 1 GiB through the simulated bus) takes fixed real time, about a
// second here, which weighs more the faster the model runs: 1.00 at 2, 1.01 at 4, 1.04 at 8,
// 1.23 at 32 on the development machine. Beside real units (scale 1) it is under 1 %.
constexpr double kRunScale = 4.0;
// The program pauses before every announced chunk it sends (at the model's scale here); the
// model leaves the pause out. Per unit: the two settings images, the driver and FPGA images,
// the procedure list and the driver options go as one chunk each. The image's data chunks,
// which the unit asks for, stream without a pause.
constexpr std::chrono::milliseconds kChunkPause{10};
constexpr std::uint64_t kSingleChunkBuffers = 6;
constexpr std::uint64_t kTransferChunk = 1ull << 20;
// The automatic loop: a smaller image so that a cycle is short, parts counted after the first
// round (which includes the preparation) until this many more are done.
constexpr std::uint64_t kLoopImageBytes = 4ull << 20;
constexpr double kLoopScale = 1.0;
constexpr std::uint32_t kLoopParts = 48;
constexpr double kRunTarget = 1.03;
// The program's own CPU per GiB moved: under 1 % of a core at the bus's 53 MB/s.
constexpr double kCpuPerGibTarget = 0.2;
constexpr double kUphTarget = 0.97;
// The firmware update: model time at its own pace (the unit's store write dominates).
constexpr double kFirmwareScale = 1.0;
constexpr double kFirmwareTarget = 1.05;
constexpr VersionBytes kDatabaseFirmware{2, '.', 5, 0};  // the units come with 1.3
constexpr std::uint32_t kFirmwareCovered = 0x60000;
// The SD card store: a project whose data image is 64 MiB (two pieces) added to eight cards.
constexpr double kCardScale = 2.0;
constexpr double kCardTarget = 1.05;
constexpr char kMemoryFolder[] = "/dev/shm";
constexpr char kDriverFile[] = "drv.bin";
constexpr char kFpgaFile[] = "fpga.bin";

// Drops every line but failures, which go to standard error: the log's own cost has its figure
// in zv_bench.
class QuietLog final : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    if (colour == LogColour::Red) std::fprintf(stderr, "%s\n", text.c_str());
  }
};

class TempFolder {
 public:
  TempFolder()
      : path_(std::filesystem::temp_directory_path() /
              ("zv_bench_run_" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path_ / "Temp");
    std::filesystem::create_directories(path_ / "tmp");
  }
  ~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string Base() const { return path_.string() + "/"; }

  void Write(const std::string& relative, const std::vector<std::uint8_t>& bytes) const {
    const std::filesystem::path file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::filesystem::path path_;
};

// A serial NOR part of `bytes` with erase, program and verify, detected in its socket.
void FillSite(std::uint64_t bytes, ZV_Driver_INI& driver, S_ProjectValue& value) {
  auto& v = driver.Values;
  v[DriverSlot::AreaEndLow(0)] = static_cast<std::uint32_t>(bytes - 1);
  v[DriverSlot::AreaEndHigh(0)] = static_cast<std::uint32_t>((bytes - 1) >> 32);
  v[DriverSlot::InsertDetectSupport] = 1;
  v[DriverSlot::IDCheckSupport] = 1;
  v[DriverSlot::PinIgnoreLow] = 0xFFFFFFFF;
  v[DriverSlot::PinIgnoreHigh] = 0xFFFFFFFF;
  driver.Type = "SPI FLASH";
  driver.UserWav = kDriverFile;
  driver.FPGAFile = kFpgaFile;
  value.Textool = {1, 0, 0, 0};
  value.MemArea = {1, 0, 0, 0};
  value.Step = {1, 0, 1, 0, 1, 1, 0};  // pin check, erase, program, verify
  value.Manufacturer = "Acme";
  value.PartsNumber = "AC25Q128";
}

// The system on a simulated rig with a loaded project and its database files, units bound.
struct RunBench {
  RunBench(const sim::RigOptions& options, std::uint64_t imageBytes,
           const std::string& recordsUrl = "")
      : rig(sim::makeSimRig(WithCards(options, folder))),
        system(*rig.bus, Config(log, options.model.scale, recordsUrl)) {
    system.AttachHost(host);
    SystemPaths paths;
    paths.BaseDir = folder.Base();
    paths.TempDir = folder.Base() + "tmp/";
    system.SetPaths(paths);
    system.ApplyRecordsUrl();
    folder.Write(kHardwareIniPath, Text("[Hardware]\nVDD_Offset=21\n"));
    folder.Write(std::string(kDriverFolder) + "/" + kDriverFile,
                 bench::RandomBytes(kDriverImageLimit));
    folder.Write(std::string(kFpgaFolder) + "/" + kFpgaFile, bench::RandomBytes(kFpgaImageLimit));
    folder.Write("Temp/Temp.BIN", bench::RandomBytes(imageBytes));
    Load(imageBytes);
  }
  // The cards live in memory where the host has a memory file system: the figure is the
  // program's, not the host disk's write-back.
  static sim::RigOptions WithCards(sim::RigOptions options, const TempFolder& folder) {
    std::error_code error;
    const bool shm = std::filesystem::is_directory(kMemoryFolder, error);
    options.sdCardRoot =
        shm ? std::string(kMemoryFolder) + "/zv_bench_cards_" + std::to_string(::getpid())
            : folder.Base() + "cards";
    return options;
  }
  ~RunBench() {
    std::error_code error;
    std::filesystem::remove_all(rig.units.front()->sdCardFolder().parent_path(), error);
  }
  // The whole simulated world runs `scale` times faster, the program's own pauses (chunk
  // pauses, reply polls, recovery) included: a real-time pause against scaled units would
  // weigh `scale` times more than it does beside real units.
  static SiteSystemConfig Config(QuietLog& log, double scale, const std::string& recordsUrl = "") {
    SiteSystemConfig config;
    config.LogOverride = &log;
    config.Operations = SiteOperationList();
    config.RecordsUrl = recordsUrl;
    config.Links.Sleep = [scale](std::chrono::milliseconds pause) {
      std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(pause.count() / scale));
    };
    return config;
  }
  static std::vector<std::uint8_t> Text(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
  }
  void Load(std::uint64_t imageBytes) {
    std::unique_ptr<LoadedProject> project = system.NewProject();
    project->SetPath("/projects/Bench.zvprj");
    project->Project().ProcessBlocks = std::to_string(0);  // not block-organised
    ProjectRecords& records = project->Records();
    for (std::size_t slot = 0; slot < 4; ++slot) records.DriverImage.SetSlot(slot, 0x1000u + slot);
    for (std::size_t site = 0; site < kSiteCount; ++site) {
      FillSite(imageBytes, records.DriverIni[site], records.ProjectValue[site]);
      BuildSiteProcessPlan(records, site);
    }
    ready = system.ReplaceProject(std::move(project)) && RescanUnits(system);
  }

  TempFolder folder;
  QuietLog log;
  sim::SimRig rig;
  HeadlessSiteHost host;
  SiteSystem system;
  bool ready = false;
};

// The program's own CPU time over a measured stretch: the process's, less what its threads
// spent inside the simulated bus and units, which run on the same threads and cores.
// Made on the UI thread, which also tells its own share (its waits sleep until a change wakes
// them).
class ProgramCpu {
 public:
  explicit ProgramCpu(const sim::SimBus& bus)
      : bus_(bus),
        process_(bench::ProcessCpuSeconds()),
        simulator_(SimulatorSeconds()),
        ui_(sim::threadCpuTime()) {}
  double Seconds() const {
    return (bench::ProcessCpuSeconds() - process_) - (SimulatorSeconds() - simulator_);
  }
  double UiSeconds() const { return InSeconds(sim::threadCpuTime() - ui_); }

 private:
  static double InSeconds(std::chrono::nanoseconds time) {
    return std::chrono::duration<double>(time).count();
  }
  double SimulatorSeconds() const { return InSeconds(bus_.cpuTime()); }
  const sim::SimBus& bus_;
  double process_;
  double simulator_;
  std::chrono::nanoseconds ui_;
};

// CPU seconds per GiB of the bytes the work moves over the bus (every unit's, both ways).
double SecondsPerGib(double seconds, const sim::Workload& work) {
  const double bytes =
      static_cast<double>(work.busBytesPerUnit) * static_cast<double>(std::max(work.units, 0));
  return bytes > 0 ? seconds * static_cast<double>(1ull << 30) / bytes : 0;
}

sim::RigOptions Options(double scale) {
  sim::RigOptions options;
  options.units = kUnits;
  options.timing = true;
  options.model.scale = scale;
  options.partKind = sim::PartKind::SerialNor;
  return options;
}

sim::StepSelection Selection() {
  sim::StepSelection selection;
  selection.insertDetect = true;  // the part's driver detects insertion: the list starts with it
  selection.erase = true;
  selection.program = true;
  selection.verify = true;
  return selection;
}

bool EverySitePassed(SiteSystem& system) {
  for (int site = 0; site < kUnits; ++site) {
    if (system.Panels().Status(site) != siPass) return false;
  }
  return true;
}

// 1. Preparation and one RUN ALL of the 64 MiB image on eight sites.
bool RunProgramming() {
  sim::RigOptions options = Options(kRunScale);
  options.virtualOperator = false;
  RunBench bench(options, kImageBytes);
  if (!bench.ready) {
    std::fprintf(stderr, "run: the project or the units could not be set up\n");
    return false;
  }
  const ProgramCpu cpu(*bench.rig.bus);
  const auto start = Clock::now();
  RunSession& session = bench.system.Session();
  const StartedRun run = session.Start(RunRecipe::PcRun, SiteChoice::SelectedSites());
  session.Wait(run);
  const std::size_t started = run.sites.size();
  const double wall = Seconds(Clock::now() - start).count();
  const double programCpu = cpu.Seconds();
  const double uiCpu = cpu.UiSeconds();
  const bool passed =
      started == kUnits && EverySitePassed(bench.system) && bench.rig.partsGood() == kUnits;
  bench.system.Shutdown();

  const sim::Workload work =
      sim::programmingWork(kUnits, kImageBytes, sim::PartKind::SerialNor, Selection());
  const sim::WorkTime model = sim::minimumTime(options.model, work);
  const double modelReal = Seconds(model.real).count();
  const double ratio = wall / modelReal;
  const double pauses =
      Seconds(kChunkPause).count() * static_cast<double>(kSingleChunkBuffers) / options.model.scale;
  bench::Print("run_8site_scale", options.model.scale, "x");
  bench::Print("run_8site_wall", wall, "s");
  bench::Print("run_8site_model", modelReal, "s");
  bench::Print("run_8site_rate", bench::MegabytesPerSecond(kUnits * kImageBytes, wall), "MB/s");
  bench::Print("run_8site_passed", passed ? 1 : 0, "");
  bench::Print("run_8site_chunk_pauses", pauses, "s");
  bench::Print("run_8site_ratio_without_chunk_pauses", (wall - pauses) / modelReal, "x");
  bench::Print("run_8site_ratio_to_model", ratio, "x");
  bench::Print("run_pc_cpu", programCpu, "s");
  bench::Print("run_pc_ui_cpu", uiCpu, "s");
  const double perGib = SecondsPerGib(programCpu, work);
  bench::Print("run_pc_cpu_s_per_gib", perGib, "s/GiB");
  return passed && ratio <= kRunTarget && perGib <= kCpuPerGibTarget;
}

// Counts parts from the panels while the host waits; marks the times of the two thresholds and
// presses "Stop All" at the second.
struct LoopClock {
  std::uint32_t from = kUnits;
  std::uint32_t to = kUnits + kLoopParts;
  Clock::time_point first{};
  Clock::time_point last{};
  std::uint32_t atFirst = 0;
  std::uint32_t atLast = 0;
};

sim::RigOptions LoopOptions() {
  sim::RigOptions options = Options(kLoopScale);
  options.virtualOperator = true;
  options.failRate = 0;
  return options;
}
}  // namespace

LoopFigures MeasureAutoLoop(std::int32_t intervalMs, const std::string& recordsUrl) {
  const sim::RigOptions options = LoopOptions();
  LoopFigures figures;
  RunBench bench(options, kLoopImageBytes, recordsUrl);
  if (!bench.ready) {
    std::fprintf(stderr, "loop: the project or the units could not be set up\n");
    return figures;
  }
  SiteSystem& system = bench.system;
  system.Controls().AutoRunInterval = intervalMs;
  LoopClock clock;
  bench.host.SetProcessMessagesHook([&] {
    const StatisticsTotals totals = system.Panels().Totals();
    const std::uint32_t done = totals.Pass + totals.Fail;
    if (clock.atFirst == 0 && done >= clock.from) {
      clock.first = Clock::now();
      clock.atFirst = done;
    }
    if (clock.atLast == 0 && done >= clock.to) {
      clock.last = Clock::now();
      clock.atLast = done;
      system.Session().RequestStop();
    }
  });
  RunSession& session = system.Session();
  const StartedRun run = session.Start(RunRecipe::PcAutoRun, SiteChoice::SelectedSites());
  session.Wait(run);
  const std::size_t started = run.sites.size();
  system.Shutdown();
  figures.complete = started == kUnits && clock.atLast != 0 && bench.rig.partsFailed() == 0;
  figures.parts = clock.atLast - clock.atFirst;
  const double seconds = Seconds(clock.last - clock.first).count();
  figures.uph = figures.complete ? figures.parts * 3600.0 / seconds : 0;
  if (RecordWriter* writer = system.PartRecords()) {
    writer->Flush(std::chrono::minutes(1));
    figures.recorded = writer->CommittedCount();
  }
  if (RecordShipper* shipper = system.Shipping()) {
    shipper->Stop();  // its last pass ships what the writer has committed
    figures.shipped = shipper->ShippedCount();
  }
  return figures;
}

namespace {
// 2. Parts per hour of the automatic loop with the virtual operator, at an auto-run interval.
bool RunLoop(std::int32_t intervalMs, const std::string& suffix, bool judged) {
  const sim::RigOptions options = LoopOptions();
  const LoopFigures figures = MeasureAutoLoop(intervalMs, "");
  const bool complete = figures.complete;
  const double uph = figures.uph;
  sim::OperatorOptions hand = options.hand;
  const sim::Workload cycle =
      sim::autoLoopCycleWork(kUnits, kLoopImageBytes, sim::PartKind::SerialNor, Selection(), hand);
  // The model's parts per hour are in model time; the wall clock sees them `scale` times faster.
  const double ideal = sim::partsPerHour(options.model, cycle) * options.model.scale;
  const double ratio = uph / ideal;
  bench::Print("uph" + suffix + "_interval", intervalMs, "ms");
  bench::Print("uph" + suffix, uph, "parts/h");
  bench::Print("uph" + suffix + "_model", ideal, "parts/h");
  bench::Print("uph" + suffix + "_parts", figures.parts, "parts");
  bench::Print("uph" + suffix + "_ratio_to_model", ratio, "x");
  return complete && (!judged || ratio >= kUphTarget);
}

// The SD card project set a project load prepares, beside the database files already there.
std::vector<std::uint64_t> WriteCardSet(RunBench& bench) {
  const TempFolder& folder = bench.folder;
  folder.Write("tmp/INI", bench::RandomBytes(16384));
  folder.Write("tmp/Option", bench::RandomBytes(100));
  folder.Write("tmp/Menu", bench::RandomBytes(65536));
  folder.Write("tmp/Info.meg", RunBench::Text("[ProjectInfo]\nManufacturer=Acme\n"));
  folder.Write("tmp/Hardware", bench::RandomBytes(16384));
  folder.Write("tmp/Checksum", bench::RandomBytes(32));
  std::vector<std::uint64_t> sizes;
  const ZV_Driver_INI& driver = bench.system.Project().Records().DriverIni[0];
  for (const SdSetFile& file : SdProjectSetFiles(bench.system.Paths(), driver)) {
    sizes.push_back(std::filesystem::file_size(file.Path));
  }
  return sizes;
}

// 3. A project with a 64 MiB data image stored on eight SD cards at once.
bool RunCardAdd() {
  const double scale = kCardScale;
  sim::RigOptions options = Options(scale);
  options.virtualOperator = false;
  RunBench bench(options, kImageBytes);
  std::vector<std::uint64_t> files = WriteCardSet(bench);
  std::vector<int> sites;
  for (int site = 0; site < kUnits; ++site) sites.push_back(site);
  const ProgramCpu cpu(*bench.rig.bus);
  const auto start = Clock::now();
  const CardStoreOutcome outcome =
      RunCardQueue(bench.system, sites, {Opcodes::SdStoreProject}, "/projects/Bench.zvprj");
  const double wall = Seconds(Clock::now() - start).count();
  const double programCpu = cpu.Seconds();
  const double uiCpu = cpu.UiSeconds();
  bench.system.Shutdown();
  const bool passed = bench.ready && outcome.AllPassed() && outcome.Passed.size() == kUnits;
  files.push_back(std::filesystem::file_size(bench.rig.units.front()->sdCardFolder() / "List"));
  const sim::Workload work = sim::sdProjectWork(kUnits, files);
  const sim::WorkTime model = sim::minimumTime(options.model, work);
  const double modelReal = Seconds(model.real).count();
  const double ratio = wall / modelReal;
  std::uint64_t chunks = 0;  // each piece goes as 1 KiB or 1 MiB chunks, one pause before each
  for (std::uint64_t bytes : files) {
    for (std::uint64_t at = 0; at < bytes; at += kCardPieceLength) {
      const std::uint64_t piece = std::min<std::uint64_t>(kCardPieceLength, bytes - at);
      chunks += piece <= 1024 ? 1 : (piece + kTransferChunk - 1) / kTransferChunk;
    }
  }
  const double pauses = Seconds(kChunkPause).count() * static_cast<double>(chunks) / scale;
  bench::Print("sd_add_8site_scale", scale, "x");
  bench::Print("sd_add_8site_wall", wall, "s");
  bench::Print("sd_add_8site_model", modelReal, "s");
  bench::Print("sd_add_8site_passed", passed ? 1 : 0, "");
  bench::Print("sd_add_8site_chunk_pauses", pauses, "s");
  bench::Print("sd_add_8site_ratio_without_chunk_pauses", (wall - pauses) / modelReal, "x");
  bench::Print("sd_add_8site_ratio_to_model", ratio, "x");
  bench::Print("sd_add_pc_cpu", programCpu, "s");
  bench::Print("sd_add_pc_ui_cpu", uiCpu, "s");
  bench::Print("sd_add_pc_cpu_s_per_gib", SecondsPerGib(programCpu, work), "s/GiB");
  return passed && ratio <= kCardTarget;
}

// 3. The firmware update of eight units at once, from the workers' start to the last one's end.
// The files are unpacked beforehand, as the options window does; the archiver's time has its
// own figure.
bool RunFirmwareUpdate() {
  sim::RigOptions options = Options(kFirmwareScale);
  options.virtualOperator = false;
  TempFolder folder;
  QuietLog log;
  sim::SimRig rig = sim::makeSimRig(options);
  HeadlessSiteHost host;
  SiteSystem system(*rig.bus, RunBench::Config(log, options.model.scale));
  system.AttachHost(host);
  SystemPaths paths;
  paths.BaseDir = folder.Base();
  paths.TempDir = folder.Base() + "tmp/";
  system.SetPaths(paths);
  std::vector<std::uint8_t> image = bench::RandomBytes(kFirmwareImageSize);
  WriteFirmwareTrailer(image, kDatabaseFirmware, kFirmwareCovered);
  folder.Write("stage/BIOS.BIN", image);
  folder.Write("stage/BIOSInfo.ini", RunBench::Text("[BIOSInfo]\nBIOSSupportOldMultipleUIVer=0\n"));
  const bool archived =
      system.Archive()
          .Create(paths.BaseDir + kFirmwareArchive,
                  {folder.Base() + "stage/BIOS.BIN", folder.Base() + "stage/BIOSInfo.ini"},
                  ArchivePassword::Firmware)
          .Ok();
  const auto extractStart = Clock::now();
  if (!archived || !ExtractFirmware(system) || !RescanUnits(system)) {
    std::fprintf(stderr, "firmware: the archive or the units could not be set up\n");
    return false;
  }
  const double extract = Seconds(Clock::now() - extractStart).count();

  std::vector<int> started;
  const auto start = Clock::now();
  for (int site = 0; site < kUnits; ++site) {
    OpcodeQueue queue = RecipeQueue(RunRecipe::BiosUpdate);
    if (Command(system, site, queue).Started()) started.push_back(site);
  }
  WaitForStartedSites(system, started);
  const double wall = Seconds(Clock::now() - start).count();
  bool passed = started.size() == kUnits;
  for (int site = 0; site < kUnits; ++site) {
    passed = passed && system.CmdData(site).FirmwareUpdateResult == SiteResultCode::Pass &&
             system.CmdData(site).FileBiosVersion == VersionText(kDatabaseFirmware);
  }
  RemoveFirmwareFiles(system);
  system.Shutdown();

  const sim::WorkTime model = sim::minimumTime(options.model, sim::firmwareUpdateWork(kUnits));
  const double modelReal = Seconds(model.real).count();
  const double ratio = wall / modelReal;
  bench::Print("firmware_8site_extract", extract, "s");
  bench::Print("firmware_8site_wall", wall, "s");
  bench::Print("firmware_8site_model", modelReal, "s");
  bench::Print("firmware_8site_passed", passed ? 1 : 0, "");
  bench::Print("firmware_8site_ratio_to_model", ratio, "x");
  return passed && ratio <= kFirmwareTarget;
}

// Whether a figure's group is wanted: every group without arguments.
bool Wanted(int argc, char** argv, const std::string& group) {
  if (argc < 2) return true;
  for (int i = 1; i < argc; ++i) {
    if (group == argv[i]) return true;
  }
  return false;
}

}  // namespace

// zv_bench_ship builds this file for its loop figure and brings its own main.
#ifndef ZV_BENCH_LOOP_ONLY
// Without arguments every figure runs; otherwise only the groups named ("run", "uph",
// "firmware", "sd").
int main(int argc, char** argv) {
  bool met = true;
  if (Wanted(argc, argv, "sd")) met = RunCardAdd() && met;
  if (Wanted(argc, argv, "run")) met = RunProgramming() && met;
  if (Wanted(argc, argv, "uph")) {
    met = RunLoop(kDefaultAutoRunIntervalMs, "", true) && met;
    // The same loop with a short poll interval: what the program costs besides its polling.
    RunLoop(10, "_poll10ms", false);
  }
  if (Wanted(argc, argv, "firmware")) met = RunFirmwareUpdate() && met;
  return met ? EXIT_SUCCESS : EXIT_FAILURE;
}
#endif
