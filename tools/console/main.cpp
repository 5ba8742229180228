// gang_console: the headless front end. Builds the system on simulated units (or the real
// bus), rescans as the program does at start-up, so the units are greeted, identified and
// ordered by their date-time identifiers, prints the site table and ends with every thread
// joined.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "bus/bus_choice.h"
#include "link/usb_library.h"
#include "log/core/log_writer.h"
#include "site/headless_site_host.h"
#include "site/ops/unit_notice_ops.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "support/system_paths.h"

namespace {

constexpr int kMaxSimUnits = 16;

struct Options {
  int units = 8;
  bool real = false;
  bool timing = true;
};

void PrintUsage(std::FILE* out) {
  std::fputs(
      "usage: gang_console [--units N | --real] [--no-timing]\n"
      "  --units N    simulate N units (0..16, default 8)\n"
      "  --real       use the units on the real USB bus\n"
      "  --no-timing  simulated units answer at once\n"
      "Exit status: 0 when at least one unit was found, 1 when none, 2 on a bad argument.\n",
      out);
}

std::optional<int> ParseCount(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > kMaxSimUnits) return std::nullopt;
  return value;
}

// Empty when the arguments are bad (the reason is printed).
std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--real") {
      options.real = true;
    } else if (arg == "--no-timing") {
      options.timing = false;
    } else if (arg == "--units" && i + 1 < argc) {
      const std::optional<int> count = ParseCount(argv[++i]);
      if (!count) {
        std::fprintf(stderr, "gang_console: --units takes a number from 0 to %d\n", kMaxSimUnits);
        return std::nullopt;
      }
      options.units = *count;
    } else {
      std::fprintf(stderr, "gang_console: unknown argument '%s'\n", argv[i]);
      return std::nullopt;
    }
  }
  return options;
}

SystemPaths MakePaths(const char* argv0) {
  std::error_code error;
  std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe", error);
  if (error) exe = std::filesystem::absolute(argv0, error);
  SystemPaths paths;
  paths.BaseDir = exe.parent_path().string() + "/";
  paths.TempDir = std::filesystem::temp_directory_path(error).string() + "/";
  paths.DesktopDir = paths.BaseDir;
  return paths;
}

const char* StateWord(TSiteStatus status) {
  switch (status) {
    case siNone:
      return "NONE";
    case siReady:
      return "READY";
    case siWorking:
      return "WORKING";
    case siPass:
      return "PASS";
    case siFail:
      return "FAIL";
    case siTake:
      return "Remove IC";
    case siPut:
      return "Insert IC";
    case siPushKey:
      return "Push Key";
  }
  return "?";
}

// "bus/device" of the unit a site holds, as the library names them; "-" for none.
std::string DeviceName(ZvUsb& link) {
  struct usb_device* device = link.DeviceOfHandle();
  if (device == nullptr) return "-";
  std::string name = device->bus != nullptr ? std::string(device->bus->dirname) + "/" : "";
  return name + device->filename;
}

void PrintSiteTable(SiteSystem& system) {
  std::printf("Site  State      OrderKey            Device\n");
  for (int site = 0; site < kSiteCount; ++site) {
    ZvUsb& link = system.Link(site);
    const std::uint64_t key = link.GetOrderKey();
    char keyText[24] = "-";
    if (key != ZvUsb::kUnknownKey) {
      std::snprintf(keyText, sizeof keyText, "0x%016llX", static_cast<unsigned long long>(key));
    }
    std::printf("%-5d %-10s %-19s %s\n", site + 1, StateWord(system.Panels().Status(site)), keyText,
                DeviceName(link).c_str());
  }
  std::fflush(stdout);
}

int Run(const Options& options, const char* argv0) {
  BusOptions busOptions;
  if (!options.real) busOptions.simulatedUnits = options.units;
  busOptions.timing = options.timing;
  UsbBusChoice bus = ChooseUsbBus(busOptions);
  constexpr std::int32_t kEveryLine = 2;
  if (options.real) {
    std::printf("gang_console: units on the USB bus\n");
  } else {
    std::printf("gang_console: %d simulated unit%s\n", options.units,
                options.units == 1 ? "" : "s");
  }
  std::fflush(stdout);
  HeadlessSiteHost host;
  bool anyUnit = false;
  {
    SiteSystemConfig config;
    config.LogDisplayMode = kEveryLine;
    SiteSystem system(*bus.library, config);
    TLogWriter writer(system.LogPipeline(), {.output = TLogWriter::PrintTo(stdout)});
    system.Para().LogDisplayMode = kEveryLine;
    system.SetPaths(MakePaths(argv0));
    system.AttachHost(host);
    system.Usb().set_debug(0);
    anyUnit = RescanUnits(system);
    writer.Flush();
    PrintSiteTable(system);
    // Leave as the program does at close: every worker ended, then the close notices.
    system.Shutdown();
    SendCloseNotices(system);
    writer.Flush();
  }
  return anyUnit ? EXIT_SUCCESS : EXIT_FAILURE;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    PrintUsage(stdout);
    return EXIT_SUCCESS;
  }
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    PrintUsage(stderr);
    return 2;
  }
  return Run(*options, argv[0]);
}
