#pragma once
// The one place that decides between the real USB bus and the simulated one, together with the
// device-notice source that belongs to it. Nothing else in the program asks which bus it runs
// on.
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "bus/device_notices.h"

class UsbLibrary;
namespace sim {
class SimBus;
class SimUnit;
}  // namespace sim

struct BusOptions {
  std::optional<int> simulatedUnits;  // none: the installed USB library
  bool timing = true;                 // the simulated units' timing model
  int pollPeriodMs = 1000;            // the look at a real bus where udev does not work
  double failRate = 0;                // the share of simulated parts that fail (0..1)
  double speed = 1;                   // the timing model runs this many times faster (> 0)
  std::filesystem::path sdCardRoot;   // simulated unit k keeps its SD card in "SiteK" below
};

struct UsbBusChoice {
  UsbBusChoice();
  ~UsbBusChoice();
  UsbBusChoice(UsbBusChoice&&) noexcept;
  UsbBusChoice& operator=(UsbBusChoice&&) noexcept;

  std::unique_ptr<UsbLibrary> library;               // what the links drive
  std::unique_ptr<DeviceNotices> notices;            // this bus's arrival and removal notices
  sim::SimBus* simulated = nullptr;                  // the simulated bus, for tests and demos
  std::vector<std::shared_ptr<sim::SimUnit>> units;  // the simulated units, in bus order
};

// No count: the installed USB library. A count: a simulated bus with that many units plugged
// (0 = an empty bus), their timing model on or off.
UsbBusChoice ChooseUsbBus(const BusOptions& options);
