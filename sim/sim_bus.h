#pragma once
// A simulated USB bus with the libusb-0.1 interface the link uses. Units are plugged and
// pulled at run time from any thread; find_devices rebuilds the bus list as the real library
// does. Device records and handles are never freed while the bus lives, so a record that a
// link remembers, or a handle that a read thread still holds, stays valid after a pull; a
// pulled unit simply answers every call on them with -19.
//
// Errors are libusb-0.1's negative errno values: -19 unit gone (or handle closed), -110
// timeout, -5 failed write, -16 interface claimed by another handle, -22 bad argument, -1 a
// request on a handle opened read-only; a refused open leaves errno EACCES, as the real
// library does.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/usb_library.h"
#include "sim/cpu_meter.h"
#include "sim/shared_link.h"
#include "sim/sim_unit.h"

namespace sim {

struct DeviceNotice {
  enum class Kind { Arrival, Removal };
  Kind kind = Kind::Arrival;
  std::string name;  // the unit's name, or "foreign" for a device that is not a unit
};

// The user's rights on a unit's device node, as the host's device permissions would give them.
enum class DeviceAccess {
  Full,      // read and write: the unit opens
  ReadOnly,  // the open gives a read-only handle; every request on it fails with -1 (EPERM)
  None,      // the open fails; errno is EACCES (13)
};

struct PluggedDevice;  // one plug event: its usb_device record and attachment
struct SimHandle;

class SimBus final : public UsbLibrary {
 public:
  using NoticeCallback = std::function<void(const DeviceNotice&)>;

  SimBus();
  ~SimBus() override;
  SimBus(const SimBus&) = delete;
  SimBus& operator=(const SimBus&) = delete;

  // False when the unit is plugged already (into this bus or another).
  bool plug(const std::shared_ptr<SimUnit>& unit);
  // False when the unit is not plugged here. Its handles fail from now on; blocked reads
  // return -19 at once.
  bool pull(const SimUnit& unit);
  // A device of another kind (other vendor and product) on the same bus; returns its id.
  int plugForeign(std::uint16_t vendor, std::uint16_t product);
  bool pullForeign(int id);
  std::vector<std::shared_ptr<SimUnit>> pluggedUnits() const;  // in bus order
  bool isPlugged(const SimUnit& unit) const;
  std::size_t openHandleCount() const;
  // The CPU time the callers' threads spent inside the bus's transfers (the simulated units'
  // firmware and the link model): what a benchmark takes out to see the program's own cost.
  std::chrono::nanoseconds cpuTime() const { return cpu_.total(); }
  // The rights on the unit's device node from the next open on (kept across replugs).
  void setAccess(const SimUnit& unit, DeviceAccess access);

  // The platform's device-change notice: called on the bus's own notice thread, in order,
  // for every plug and pull made while a callback is set (earlier ones are not kept). Setting
  // another callback (or none) waits until a running call has ended, so the owner may die after
  // clearing it.
  void setNoticeCallback(NoticeCallback callback);
  // Returns when every notice raised so far has been delivered.
  void waitForNotices();

  // ---- UsbLibrary ----
  void init() override;
  void set_debug(int level) override;
  int find_busses() override;
  int find_devices() override;
  usb_bus* get_busses() override;
  usb_dev_handle* open(struct usb_device* dev) override;
  int close(usb_dev_handle* dev) override;
  int set_configuration(usb_dev_handle* dev, int configuration) override;
  int claim_interface(usb_dev_handle* dev, int interface) override;
  int release_interface(usb_dev_handle* dev, int interface) override;
  int bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) override;
  int bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) override;
  int clear_halt(usb_dev_handle* dev, unsigned int ep) override;
  int resetep(usb_dev_handle* dev, unsigned int ep) override;
  int reset(usb_dev_handle* dev) override;
  struct usb_device* device(usb_dev_handle* dev) override;
  const char* strerror() override;

 private:
  SimHandle* handleOf(usb_dev_handle* dev);
  int fail(int error);
  int checkIo(SimHandle* handle, int ep, int wantedEp);
  bool pullSession(const SimUnit* unit, std::uint64_t session);
  void scheduleRejoin(const SimUnit* unit, std::chrono::milliseconds delay);
  void plugDueRejoins(std::unique_lock<std::mutex>& noticeLock);
  void raiseNotice(DeviceNotice::Kind kind, std::string name);
  void noticeLoop();
  PluggedDevice& newDevice(std::uint16_t vendor, std::uint16_t product);

  mutable std::mutex mutex_;
  std::deque<std::unique_ptr<PluggedDevice>> devices_;  // every plug event, never freed
  std::vector<PluggedDevice*> plugged_;                 // present now, in bus order
  std::map<const struct usb_device*, PluggedDevice*> byRecord_;
  std::map<const SimUnit*, DeviceAccess> access_;   // units without an entry: Full
  std::deque<std::unique_ptr<SimHandle>> handles_;  // never freed while the bus lives
  std::unique_ptr<PluggedDevice> root_;
  std::unique_ptr<usb_bus> bus_;
  bool bussesFound_ = false;
  std::vector<PluggedDevice*> listed_;  // what the last find_devices put in the list
  std::uint8_t nextDevnum_ = 2;
  int nextForeignId_ = 1;
  std::atomic<int> lastError_{0};
  BusLink link_;  // the one link every unit's bulk data shares
  CpuMeter cpu_;

  std::mutex noticeMutex_;
  std::condition_variable noticeWake_;
  std::condition_variable noticeIdle_;
  std::deque<DeviceNotice> notices_;
  // Units that left for a restart, and when they come back (plugged by the notice thread).
  std::vector<std::pair<std::chrono::steady_clock::time_point, std::shared_ptr<SimUnit>>> rejoins_;
  NoticeCallback callback_;
  bool delivering_ = false;
  bool stopping_ = false;
  std::thread noticeThread_;
};

}  // namespace sim
