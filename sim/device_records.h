#pragma once
// The bus's bookkeeping: one PluggedDevice per plug event, holding the libusb-0.1 records
// (device, configuration, interface, endpoints) that get_busses hands out, and one SimHandle
// per open. Both live as long as the bus, so pointers the link keeps stay valid.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "link/usb_library.h"
#include "sim/sim_unit.h"

namespace sim {

struct SimHandle;

struct PluggedDevice {
  struct usb_device record {};
  usb_config_descriptor config{};
  usb_interface interface {};
  usb_interface_descriptor altsetting{};
  std::array<usb_endpoint_descriptor, 2> endpoints{};
  std::array<struct usb_device*, 128> children{};  // the root hub's list of attached devices

  std::shared_ptr<SimUnit> unit;  // none for the root hub and foreign devices
  std::uint64_t session = 0;      // the unit's attachment
  std::string name;
  int foreignId = 0;
  std::atomic<bool> present{false};
  std::atomic<SimHandle*> claimant{nullptr};  // the handle holding interface 0
};

inline constexpr std::uint32_t kHandleMagic = 0x53494D48;  // "SIMH"

struct SimHandle {
  std::uint32_t magic = kHandleMagic;
  const void* bus = nullptr;
  PluggedDevice* device = nullptr;
  bool readOnly = false;  // opened without write access: every request is refused
  std::atomic<bool> closed{false};
};

// Fills the records of a device with this identity: a unit (vendor/product of the units,
// configuration 1, interface 0, bulk endpoints 0x01 and 0x82), a foreign device, or the hub.
void fillUnitRecords(PluggedDevice& device, std::uint16_t vendor, std::uint16_t product,
                     std::uint8_t devnum, usb_bus* bus);
void fillHubRecords(PluggedDevice& device, usb_bus* bus);

}  // namespace sim
