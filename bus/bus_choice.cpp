#include "bus/bus_choice.h"

#include "bus/real_bus_notices.h"
#include "bus/sim_bus_notices.h"
#include "link/libusb_library.h"
#include "sim/sim_bus.h"
#include "sim/sim_factory.h"

UsbBusChoice::UsbBusChoice() = default;
UsbBusChoice::~UsbBusChoice() {
  notices.reset();  // before the bus it listens to
}
UsbBusChoice::UsbBusChoice(UsbBusChoice&&) noexcept = default;
UsbBusChoice& UsbBusChoice::operator=(UsbBusChoice&&) noexcept = default;

UsbBusChoice ChooseUsbBus(const BusOptions& options) {
  UsbBusChoice choice;
  if (!options.simulatedUnits) {
    choice.library = std::make_unique<LibusbLibrary>();
    choice.notices = std::make_unique<RealBusNotices>(options.pollPeriodMs);
    return choice;
  }
  sim::RigOptions rigOptions;
  rigOptions.units = *options.simulatedUnits;
  rigOptions.timing = options.timing;
  rigOptions.failRate = options.failRate;
  rigOptions.model.scale = options.speed;
  rigOptions.sdCardRoot = options.sdCardRoot;
  sim::SimRig rig = sim::makeSimRig(rigOptions);
  choice.simulated = rig.bus.get();
  choice.notices = std::make_unique<SimBusNotices>(*rig.bus);
  choice.units = std::move(rig.units);
  choice.library = std::move(rig.bus);
  return choice;
}
