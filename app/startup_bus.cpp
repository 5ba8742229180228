#include "app/startup_bus.h"

#include "link/libusb_library.h"
#include "sim/sim_bus.h"
#include "sim/sim_factory.h"

UsbBusChoice::UsbBusChoice() = default;
UsbBusChoice::~UsbBusChoice() = default;
UsbBusChoice::UsbBusChoice(UsbBusChoice&&) noexcept = default;
UsbBusChoice& UsbBusChoice::operator=(UsbBusChoice&&) noexcept = default;

UsbBusChoice ChooseUsbBus(std::optional<int> simulatedUnits, bool timing) {
  UsbBusChoice choice;
  if (!simulatedUnits) {
    choice.library = std::make_unique<LibusbLibrary>();
    return choice;
  }
  sim::RigOptions options;
  options.units = *simulatedUnits;
  options.timing = timing;
  sim::SimRig rig = sim::makeSimRig(options);
  choice.simulated = rig.bus.get();
  choice.units = std::move(rig.units);
  choice.library = std::move(rig.bus);
  return choice;
}
