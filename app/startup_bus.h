#pragma once
// The one place that decides between the real USB bus and the simulated one. Nothing else in
// the program asks which bus it runs on.
#include <memory>
#include <optional>
#include <vector>

class UsbLibrary;
namespace sim {
class SimBus;
class SimUnit;
}  // namespace sim

struct UsbBusChoice {
  UsbBusChoice();
  ~UsbBusChoice();
  UsbBusChoice(UsbBusChoice&&) noexcept;
  UsbBusChoice& operator=(UsbBusChoice&&) noexcept;

  std::unique_ptr<UsbLibrary> library;               // what the links drive
  sim::SimBus* simulated = nullptr;                  // the same object when it is the simulated bus
  std::vector<std::shared_ptr<sim::SimUnit>> units;  // the simulated units, in bus order
};

// No count: the installed USB library. A count: a simulated bus with that many units plugged
// (0 = an empty bus), their timing model on or off.
UsbBusChoice ChooseUsbBus(std::optional<int> simulatedUnits, bool timing);
