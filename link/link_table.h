#pragma once
// The eight links, one per site index 0..7, and the bus-wide operations: enumeration under
// the UnitLock, the presence check, the search for a free unit and the ordering by key.
// Created once per system before the first scan and kept for the whole run.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/transfer_trace.h"
#include "link/zv_usb.h"
#include "support/site_index.h"

class NamedLocks;
struct S_SystemPara;

// What one walk of the bus found. `Attached` is false when the bus reports no attached device
// at all ("no units": the rescan then closes every site); `Units` are the matching devices in
// bus order (records owned by the library, valid until the next search).
struct UnitScan {
  bool Attached = false;
  std::vector<struct usb_device*> Units;
};

// The pure judgement of a bus list (no searching, no lock). Exposed for the tests.
UnitScan ScanBusList(usb_bus* busses);
bool IsUnitDevice(const struct usb_device* device);

struct LinkTableOptions {
  SleepFunction Sleep = SleepFor;
  LocalClock Clock = LocalTimeNow;
  bool TraceFromEnvironment = true;  // look at ZV_USB_TRACE when the table is built
};

class LinkTable {
 public:
  // Calls the library's init; sets every link's PowerLedWord and ModeByte from the settings.
  LinkTable(UsbLibrary& usb, NamedLocks& locks, const S_SystemPara& settings,
            LinkTableOptions options = {});
  ~LinkTable();  // closes every link (and so ends every read thread)
  LinkTable(const LinkTable&) = delete;
  LinkTable& operator=(const LinkTable&) = delete;

  // The link of a site index 0..7 (the caller checks the range).
  ZvUsb& Link(int site) { return *links_[static_cast<std::size_t>(site)].load(); }
  ZvUsb& operator[](int site) { return Link(site); }

  // PowerLedWord = retry count | retry delay << 8; ModeByte copied. Main thread, no run active.
  void ApplySettings(const S_SystemPara& settings);
  static std::uint32_t PowerLedWordOf(const S_SystemPara& settings);

  // Searches the busses and devices under the UnitLock. Do not hold the UnitLock here.
  UnitScan EnumerateUnits();
  // True when a matching device is the device of the site's open handle.
  bool IsUnitPresent(int site);
  // The first matching device that no link's open handle holds, or none.
  struct usb_device* FindFreeDevice();
  // Ascending OrderKey by seven passes of adjacent exchange; equal keys keep their order.
  // Only while no worker uses the links.
  void SortLinksByKey();

  UsbLibrary& Usb() { return usb_; }
  NamedLock& UnitLock() { return services_.UnitLock; }
  TraceSwitch& Trace() { return trace_; }
  LinkServices& Services() { return services_; }

 private:
  UsbLibrary& usb_;
  TraceSwitch trace_;
  LinkServices services_;
  std::array<std::unique_ptr<ZvUsb>, kSiteCount> owned_;
  std::array<std::atomic<ZvUsb*>, kSiteCount> links_{};
};
