// LoadProject of a project with a 64 MiB data image, against 7zz's own extraction of every
// member of the same archive into a folder, measured on the same machine in the same run.
//   zv_bench_project [image MiB]   (default 64)
// Prints NAME = VALUE UNIT lines; exit code 0 when LoadProject takes at most 1.2 times as long.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_util.h"
#include "log/core/log_sink.h"
#include "project/cproject.h"
#include "project/driver_index.h"
#include "project/hardware_ini.h"
#include "project/project_records.h"
#include "support/archiver.h"
#include "support/child_process.h"
#include "support/named_lock.h"
#include "support/resource_pack.h"
#include "support/system_paths.h"
#include "tools/make_project/project_maker.h"

namespace fs = std::filesystem;
using bench::BestSeconds;
using bench::Print;

namespace {
constexpr double kTargetRatio = 1.2;
constexpr int kRepeats = 7;

// Incompressible, reproducible image bytes: the archive's data path at its slowest.
void WriteRandomImage(const std::string& path, std::size_t bytes) {
  std::mt19937_64 random(20240105);
  std::vector<std::uint64_t> chunk(1 << 17);
  std::ofstream file(path, std::ios::binary);
  for (std::size_t written = 0; written < bytes; written += chunk.size() * 8) {
    for (auto& word : chunk) word = random();
    file.write(reinterpret_cast<const char*>(chunk.data()),
               static_cast<std::streamsize>(std::min(bytes - written, chunk.size() * 8)));
  }
}

class NullLog : public LogSink {
 public:
  void AddLogMessage(const std::string&, std::uint32_t, std::uint8_t, std::uint8_t) override {}
};

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// BaseDir with one part, its driver files, the resource pack and the hardware file.
void MakeBase(const std::string& base) {
  for (const char* dir : {"History/Recovery", "Temp", "DataBase/Menu", "System"}) {
    fs::create_directories(base + dir);
  }
  fs::copy_file(ZV_PLUS_MODULE, base + kPlusModulePath);
  WriteText(base + "DataBase/INI/Acme/BENCH64.ini",
            "[ZV80ExternValue]\nMenuFile=NONE\nUserWav=drv.bin\nFPGAFile=fpga.bit\n"
            "MainStartLow=0\nMainEndHigh=0\nMainEndLow=67108863\n");
  WriteText(base + kSelectListPath,
            "Device List\r\nBench\r\nAcme\r\nBENCH64\r\nx\r\nDataBase\\INI\\Acme\\BENCH64.ini\r\n");
  WriteText(base + kHardwareIniPath, "[Hardware]\n");
}

// 7zz extracting every member, password on its standard input, as a person would run it.
void SevenZipExtract(const std::string& archive, const std::string& outDir) {
  {
    fs::remove_all(outDir);
    fs::create_directories(outDir);
    const ChildResult run =
        RunChild({"7zz", "e", "-o" + outDir, "-y", "-bd", "-bso0", "--", archive},
                 std::string(ArchivePassword::Project) + "\n");
    if (!run.Started || run.ExitCode != 0)
      std::fprintf(stderr, "7zz failed: %s\n", run.Err.c_str());
  }
}
}  // namespace

int main(int argc, char** argv) {
  const std::size_t mebibytes = argc > 1 ? std::stoul(argv[1]) : 64;
  std::string root = (fs::temp_directory_path() / "zv_bench_project_XXXXXX").string();
  if (mkdtemp(root.data()) == nullptr) return 2;
  root += "/";
  SystemPaths paths{root + "base/", root + "temp/", root, ""};
  fs::create_directories(paths.TempDir);
  MakeBase(paths.BaseDir);

  const Archiver archiver;
  const std::string image = root + "image.bin";
  WriteRandomImage(image, mebibytes << 20);
  ProjectRecipe recipe;
  recipe.Keys.Manufacturer = "Acme";
  recipe.Keys.PartsNumber = "BENCH64";
  recipe.ImageFile = image;
  const std::string archive = root + "bench.zvprj";
  std::string error;
  if (!MakeProject(archiver, recipe, archive, root, error)) {
    std::fprintf(stderr, "project not made: %s\n", error.c_str());
    return 2;
  }
  fs::remove(image);

  DriverIndex index;
  NullLog log;
  LoadSelectList(paths.BaseDir, index, log);
  ResourcePack pack(paths.BaseDir, [](const std::string&, const std::string&) {});
  ProjectRecords records;
  HardwareValues hardware;
  NamedLock groupLock;
  CProject project({paths, archiver, index, pack, records, hardware, groupLock, log, {}, {}});

  int code = -1;
  // The two alternate, so that both see the same share of a busy machine; best run of each.
  double load = 1e300;
  double sevenZip = 1e300;
  for (int round = 0; round < kRepeats; ++round) {
    load = std::min(load, BestSeconds(1, [&] { code = project.LoadProject(archive, true); }));
    sevenZip = std::min(sevenZip, BestSeconds(1, [&] { SevenZipExtract(archive, root + "7zz"); }));
  }
  const double ratio = load / sevenZip;
  Print("LoadProject_image", static_cast<double>(mebibytes), "MiB");
  Print("LoadProject_code", code, "");
  Print("LoadProject", load * 1e3, "ms");
  Print("SevenZip_extract", sevenZip * 1e3, "ms");
  Print("LoadProject_ratio", ratio, "x (target <= 1.2)");
  fs::remove_all(root);
  return code == LoadCode::Loaded && ratio <= kTargetRatio ? 0 : 1;
}
