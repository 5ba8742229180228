#include "link/link_table.h"

#include <algorithm>

#include "support/named_lock.h"
#include "support/system_para.h"

bool IsUnitDevice(const struct usb_device* device) {
  return device != nullptr && device->descriptor.idVendor == UnitUsb::VendorId &&
         device->descriptor.idProduct == UnitUsb::ProductId;
}

// A bus has something attached when its root device reports children or when it lists a
// device besides its root. The second test matters for the real library, which leaves the
// child counts at 0 unless it may query the hubs (see README.md); every bus is looked at, as
// the order of the bus list carries no meaning.
UnitScan ScanBusList(usb_bus* busses) {
  UnitScan scan;
  for (usb_bus* bus = busses; bus != nullptr; bus = bus->next) {
    if (bus->root_dev != nullptr && bus->root_dev->num_children > 0) scan.Attached = true;
    for (struct usb_device* device = bus->devices; device != nullptr; device = device->next) {
      if (device != bus->root_dev) scan.Attached = true;
      if (IsUnitDevice(device)) scan.Units.push_back(device);
    }
  }
  if (!scan.Units.empty()) scan.Attached = true;
  return scan;
}

LinkTable::LinkTable(UsbLibrary& usb, NamedLocks& locks, const S_SystemPara& settings,
                     LinkTableOptions options)
    : usb_(usb),
      services_{usb, locks.Get(LockName::UsbDevices), std::move(options.Sleep),
                std::move(options.Clock), trace_} {
  usb_.init();
  for (int site = 0; site < kSiteCount; ++site) {
    const auto index = static_cast<std::size_t>(site);
    owned_[index] = std::make_unique<ZvUsb>(services_, *this, site);
    links_[index] = owned_[index].get();
  }
  ApplySettings(settings);
  if (options.TraceFromEnvironment) trace_.StartFromEnvironment();
}

LinkTable::~LinkTable() {
  for (auto& link : owned_) link->CloseDevice();
}

std::uint32_t LinkTable::PowerLedWordOf(const S_SystemPara& settings) {
  return static_cast<std::uint32_t>(settings.PowerLed_RetryCount) |
         static_cast<std::uint32_t>(settings.PowerLed_RetryDelayMS) << 8;
}

void LinkTable::ApplySettings(const S_SystemPara& settings) {
  for (auto& link : owned_) {
    link->PowerLedWord = PowerLedWordOf(settings);
    link->ModeByte = settings.ModeByte;
  }
}

UnitScan LinkTable::EnumerateUnits() {
  NamedLockGuard unitLock(UnitLock());
  usb_.find_busses();
  usb_.find_devices();
  return ScanBusList(usb_.get_busses());
}

bool LinkTable::IsUnitPresent(int site) {
  if (!IsSiteIndex(site)) return false;
  NamedLockGuard unitLock(UnitLock());
  usb_.find_busses();
  usb_.find_devices();
  struct usb_device* mine = Link(site).DeviceOfHandle();
  if (mine == nullptr) return false;
  const UnitScan scan = ScanBusList(usb_.get_busses());
  return std::find(scan.Units.begin(), scan.Units.end(), mine) != scan.Units.end();
}

struct usb_device* LinkTable::FindFreeDevice() {
  NamedLockGuard unitLock(UnitLock());
  usb_.find_busses();
  usb_.find_devices();
  const UnitScan scan = ScanBusList(usb_.get_busses());
  std::vector<struct usb_device*> held;
  for (auto& entry : links_) {
    if (struct usb_device* device = entry.load()->DeviceOfHandle()) held.push_back(device);
  }
  for (struct usb_device* device : scan.Units) {
    if (std::find(held.begin(), held.end(), device) == held.end()) return device;
  }
  return nullptr;
}

void LinkTable::SortLinksByKey() {
  for (int pass = 0; pass < kSiteCount - 1; ++pass) {
    for (std::size_t i = 0; i + 1 < links_.size(); ++i) {
      ZvUsb* earlier = links_[i].load();
      ZvUsb* later = links_[i + 1].load();
      if (later->GetOrderKey() < earlier->GetOrderKey()) {
        links_[i] = later;
        links_[i + 1] = earlier;
      }
    }
  }
  for (std::size_t i = 0; i < links_.size(); ++i) {
    links_[i].load()->SetSiteIndex(static_cast<int>(i));
  }
}
