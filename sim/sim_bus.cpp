#include "sim/sim_bus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "sim/device_records.h"

namespace sim {

namespace {

inline constexpr int kErrNotPermitted = -1;       // -EPERM: a request on a read-only handle
inline constexpr int kErrAccessDenied = -EACCES;  // a refused open (the errno it leaves)
inline constexpr int kErrIo = -5;
inline constexpr int kErrBadHandle = -9;
inline constexpr int kErrBusy = -16;
inline constexpr int kErrNoDevice = -19;
inline constexpr int kErrInvalid = -22;
inline constexpr int kErrTimedOut = -110;

// Texts live as long as the program, so strerror never hands out a pointer that another
// thread could change under the reader.
const char* errorText(int error) {
  switch (error) {
    case 0:
      return "no error";
    case kErrNotPermitted:
      return "simulated bus: operation not permitted (device opened read-only)";
    case kErrAccessDenied:
      return "simulated bus: permission denied";
    case kErrIo:
      return "simulated bus: input/output error";
    case kErrBadHandle:
      return "simulated bus: not a handle of this bus";
    case kErrBusy:
      return "simulated bus: interface claimed by another handle";
    case kErrNoDevice:
      return "simulated bus: no such device (unit gone or handle closed)";
    case kErrInvalid:
      return "simulated bus: invalid argument";
    case kErrTimedOut:
      return "simulated bus: connection timed out";
    default:
      return "simulated bus: error";
  }
}

}  // namespace

SimBus::SimBus() : root_(std::make_unique<PluggedDevice>()), bus_(std::make_unique<usb_bus>()) {
  std::snprintf(bus_->dirname, sizeof bus_->dirname, "%03u", 1u);
  bus_->location = 1;
  fillHubRecords(*root_, bus_.get());
  root_->present.store(true);
  byRecord_[&root_->record] = root_.get();
  noticeThread_ = std::thread([this] { noticeLoop(); });
}

SimBus::~SimBus() {
  {
    std::lock_guard lock(noticeMutex_);
    stopping_ = true;
  }
  noticeWake_.notify_all();
  noticeThread_.join();
  // Units outlive the bus in tests; end their attachments so that they can be plugged again.
  std::vector<PluggedDevice*> plugged;
  {
    std::lock_guard lock(mutex_);
    plugged = plugged_;
  }
  for (PluggedDevice* d : plugged) {
    if (d->unit) d->unit->detach(d->session);
  }
}

PluggedDevice& SimBus::newDevice(std::uint16_t vendor, std::uint16_t product) {
  auto& device = devices_.emplace_back(std::make_unique<PluggedDevice>());
  fillUnitRecords(*device, vendor, product, nextDevnum_, bus_.get());
  nextDevnum_ = static_cast<std::uint8_t>(nextDevnum_ >= 127 ? 2 : nextDevnum_ + 1);
  byRecord_[&device->record] = device.get();
  return *device;
}

bool SimBus::plug(const std::shared_ptr<SimUnit>& unit) {
  if (!unit) return false;
  {
    std::lock_guard lock(mutex_);
    SimUnit* raw = unit.get();
    auto session =
        unit->attach([this, raw](std::uint64_t s, std::optional<std::chrono::milliseconds> rejoin) {
          if (pullSession(raw, s) && rejoin) scheduleRejoin(raw, *rejoin);
        });
    if (!session) return false;
    PluggedDevice& device = newDevice(UnitUsb::VendorId, UnitUsb::ProductId);
    device.unit = unit;
    device.session = *session;
    device.name = unit->name();
    device.present.store(true);
    plugged_.push_back(&device);
  }
  raiseNotice(DeviceNotice::Kind::Arrival, unit->name());
  return true;
}

bool SimBus::pull(const SimUnit& unit) {
  std::uint64_t session = 0;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(plugged_.begin(), plugged_.end(),
                           [&](PluggedDevice* d) { return d->unit.get() == &unit; });
    if (it == plugged_.end()) return false;
    session = (*it)->session;
  }
  return pullSession(&unit, session);
}

bool SimBus::pullSession(const SimUnit* unit, std::uint64_t session) {
  std::shared_ptr<SimUnit> owner;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(plugged_.begin(), plugged_.end(), [&](PluggedDevice* d) {
      return d->unit.get() == unit && d->session == session;
    });
    if (it == plugged_.end()) return false;
    (*it)->present.store(false);
    owner = (*it)->unit;
    plugged_.erase(it);
  }
  owner->detach(session);
  raiseNotice(DeviceNotice::Kind::Removal, owner->name());
  return true;
}

int SimBus::plugForeign(std::uint16_t vendor, std::uint16_t product) {
  int id = 0;
  {
    std::lock_guard lock(mutex_);
    PluggedDevice& device = newDevice(vendor, product);
    id = nextForeignId_++;
    device.foreignId = id;
    device.name = "foreign";
    device.present.store(true);
    plugged_.push_back(&device);
  }
  raiseNotice(DeviceNotice::Kind::Arrival, "foreign");
  return id;
}

bool SimBus::pullForeign(int id) {
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(plugged_.begin(), plugged_.end(),
                           [&](PluggedDevice* d) { return !d->unit && d->foreignId == id; });
    if (it == plugged_.end()) return false;
    (*it)->present.store(false);
    plugged_.erase(it);
  }
  raiseNotice(DeviceNotice::Kind::Removal, "foreign");
  return true;
}

std::vector<std::shared_ptr<SimUnit>> SimBus::pluggedUnits() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<SimUnit>> units;
  for (PluggedDevice* d : plugged_) {
    if (d->unit) units.push_back(d->unit);
  }
  return units;
}

bool SimBus::isPlugged(const SimUnit& unit) const {
  std::lock_guard lock(mutex_);
  return std::any_of(plugged_.begin(), plugged_.end(),
                     [&](PluggedDevice* d) { return d->unit.get() == &unit; });
}

void SimBus::setAccess(const SimUnit& unit, DeviceAccess access) {
  std::lock_guard lock(mutex_);
  access_[&unit] = access;
}

std::size_t SimBus::openHandleCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(handles_.begin(), handles_.end(), [](auto& h) { return !h->closed.load(); }));
}

// ---- notices ----

void SimBus::raiseNotice(DeviceNotice::Kind kind, std::string name) {
  {
    // Like the platform's notice, nobody hears it before a callback is set.
    std::lock_guard lock(noticeMutex_);
    if (!callback_) return;
    notices_.push_back(DeviceNotice{kind, std::move(name)});
  }
  noticeWake_.notify_all();
}

void SimBus::scheduleRejoin(const SimUnit* unit, std::chrono::milliseconds delay) {
  std::shared_ptr<SimUnit> owner;
  {
    std::lock_guard lock(mutex_);
    for (auto& d : devices_) {
      if (d->unit.get() == unit) owner = d->unit;
    }
  }
  if (!owner) return;
  {
    std::lock_guard lock(noticeMutex_);
    rejoins_.emplace_back(std::chrono::steady_clock::now() + delay, std::move(owner));
  }
  noticeWake_.notify_all();
}

void SimBus::plugDueRejoins(std::unique_lock<std::mutex>& noticeLock) {
  const auto now = std::chrono::steady_clock::now();
  std::vector<std::shared_ptr<SimUnit>> due;
  for (auto it = rejoins_.begin(); it != rejoins_.end();) {
    if (it->first <= now) {
      due.push_back(std::move(it->second));
      it = rejoins_.erase(it);
    } else {
      ++it;
    }
  }
  if (due.empty()) return;
  noticeLock.unlock();
  for (auto& unit : due) plug(unit);
  noticeLock.lock();
}

void SimBus::noticeLoop() {
  std::unique_lock lock(noticeMutex_);
  for (;;) {
    plugDueRejoins(lock);
    if (stopping_) return;
    if (notices_.empty()) {
      if (rejoins_.empty()) {
        noticeWake_.wait(lock);
      } else {
        auto next = std::min_element(rejoins_.begin(), rejoins_.end(), [](auto& a, auto& b) {
                      return a.first < b.first;
                    })->first;
        noticeWake_.wait_until(lock, next);
      }
      continue;
    }
    DeviceNotice notice = std::move(notices_.front());
    notices_.pop_front();
    NoticeCallback callback = callback_;
    delivering_ = true;
    lock.unlock();
    if (callback) callback(notice);
    lock.lock();
    delivering_ = false;
    noticeIdle_.notify_all();
  }
}

void SimBus::setNoticeCallback(NoticeCallback callback) {
  std::unique_lock lock(noticeMutex_);
  // Called from inside a notice it must not wait for itself.
  if (std::this_thread::get_id() != noticeThread_.get_id()) {
    noticeIdle_.wait(lock, [&] { return !delivering_; });
  }
  callback_ = std::move(callback);
}

void SimBus::waitForNotices() {
  std::unique_lock lock(noticeMutex_);
  noticeIdle_.wait(lock, [&] { return stopping_ || (notices_.empty() && !delivering_); });
}

// ---- UsbLibrary: enumeration ----

int SimBus::fail(int error) {
  lastError_.store(error);
  return error;
}

void SimBus::init() {}
void SimBus::set_debug(int) {}

int SimBus::find_busses() {
  std::lock_guard lock(mutex_);
  const int changes = bussesFound_ ? 0 : 1;
  bussesFound_ = true;
  return changes;
}

int SimBus::find_devices() {
  std::lock_guard lock(mutex_);
  if (!bussesFound_) return 0;
  std::vector<PluggedDevice*> now{plugged_.begin(), plugged_.end()};
  int changes = 0;
  for (PluggedDevice* d : now) {
    if (std::find(listed_.begin(), listed_.end(), d) == listed_.end()) ++changes;
  }
  for (PluggedDevice* d : listed_) {
    if (std::find(now.begin(), now.end(), d) == now.end()) ++changes;
  }
  listed_ = now;
  // Root hub first, then the devices in plug order, linked as libusb links them.
  struct usb_device* previous = &root_->record;
  root_->record.prev = nullptr;
  std::size_t children = 0;
  for (PluggedDevice* d : listed_) {
    d->record.prev = previous;
    previous->next = &d->record;
    previous = &d->record;
    if (children < root_->children.size()) root_->children[children++] = &d->record;
  }
  previous->next = nullptr;
  root_->record.num_children = static_cast<unsigned char>(children);
  bus_->devices = &root_->record;
  bus_->root_dev = &root_->record;
  return changes;
}

usb_bus* SimBus::get_busses() {
  std::lock_guard lock(mutex_);
  return bussesFound_ ? bus_.get() : nullptr;
}

// ---- UsbLibrary: handles ----

SimHandle* SimBus::handleOf(usb_dev_handle* dev) {
  auto* handle = reinterpret_cast<SimHandle*>(dev);
  if (!handle || handle->magic != kHandleMagic || handle->bus != this) return nullptr;
  return handle;
}

usb_dev_handle* SimBus::open(struct usb_device* dev) {
  std::lock_guard lock(mutex_);
  auto it = byRecord_.find(dev);
  if (it == byRecord_.end() || !it->second->unit || !it->second->present.load()) {
    lastError_.store(kErrNoDevice);
    return nullptr;
  }
  const auto access = access_.find(it->second->unit.get());
  const DeviceAccess rights = access == access_.end() ? DeviceAccess::Full : access->second;
  if (rights == DeviceAccess::None) {
    lastError_.store(kErrAccessDenied);
    errno = EACCES;
    return nullptr;
  }
  auto& handle = handles_.emplace_back(std::make_unique<SimHandle>());
  handle->bus = this;
  handle->device = it->second;
  handle->readOnly = rights == DeviceAccess::ReadOnly;
  return reinterpret_cast<usb_dev_handle*>(handle.get());
}

int SimBus::close(usb_dev_handle* dev) {
  SimHandle* handle = handleOf(dev);
  if (!handle) return fail(kErrBadHandle);
  if (handle->closed.exchange(true)) return fail(kErrBadHandle);
  SimHandle* self = handle;
  handle->device->claimant.compare_exchange_strong(self, nullptr);
  handle->device->unit->wakeReaders();
  return 0;
}

// -19 for a closed handle or a unit that has gone; -16 while another handle holds the
// interface; -22 for a wrong endpoint.
int SimBus::checkIo(SimHandle* handle, int ep, int wantedEp) {
  if (!handle) return kErrBadHandle;
  if (handle->closed.load() || !handle->device->present.load()) return kErrNoDevice;
  if (handle->readOnly) return kErrNotPermitted;
  if (ep != wantedEp) return kErrInvalid;
  SimHandle* holder = handle->device->claimant.load();
  if (holder != nullptr && holder != handle) return kErrBusy;
  return 0;
}

int SimBus::set_configuration(usb_dev_handle* dev, int configuration) {
  SimHandle* handle = handleOf(dev);
  if (!handle) return fail(kErrBadHandle);
  if (handle->closed.load() || !handle->device->present.load()) return fail(kErrNoDevice);
  if (handle->readOnly) return fail(kErrNotPermitted);
  if (configuration != UnitUsb::Configuration) return fail(kErrInvalid);
  handle->device->unit->configurationSet();
  return 0;
}

int SimBus::claim_interface(usb_dev_handle* dev, int interface) {
  SimHandle* handle = handleOf(dev);
  if (!handle) return fail(kErrBadHandle);
  if (handle->closed.load() || !handle->device->present.load()) return fail(kErrNoDevice);
  if (handle->readOnly) return fail(kErrNotPermitted);
  if (interface != UnitUsb::Interface) return fail(kErrInvalid);
  SimHandle* expected = nullptr;
  if (handle->device->claimant.compare_exchange_strong(expected, handle)) return 0;
  return expected == handle ? 0 : fail(kErrBusy);
}

int SimBus::release_interface(usb_dev_handle* dev, int interface) {
  SimHandle* handle = handleOf(dev);
  if (!handle) return fail(kErrBadHandle);
  if (handle->closed.load()) return fail(kErrNoDevice);
  if (interface != UnitUsb::Interface) return fail(kErrInvalid);
  SimHandle* self = handle;
  if (handle->device->claimant.compare_exchange_strong(self, nullptr)) return 0;
  return fail(kErrInvalid);
}

// ---- UsbLibrary: transfers ----

int SimBus::bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int) {
  CpuMeter::Scope metered(cpu_);
  SimHandle* handle = handleOf(dev);
  if (int error = checkIo(handle, ep, UnitUsb::EndpointOut)) return fail(error);
  if (size < 0 || (size > 0 && !bytes)) return fail(kErrInvalid);
  PluggedDevice& device = *handle->device;
  const int result = device.unit->bulkWrite(
      device.session, reinterpret_cast<const std::uint8_t*>(bytes), size, link_);
  return result < 0 ? fail(result) : result;
}

int SimBus::bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  CpuMeter::Scope metered(cpu_);
  SimHandle* handle = handleOf(dev);
  if (int error = checkIo(handle, ep, UnitUsb::EndpointIn)) return fail(error);
  if (size < 0 || (size > 0 && !bytes)) return fail(kErrInvalid);
  PluggedDevice& device = *handle->device;
  const int result = device.unit->bulkRead(
      device.session, handle->closed, reinterpret_cast<std::uint8_t*>(bytes), size, timeout, link_);
  return result < 0 ? fail(result) : result;
}

int SimBus::clear_halt(usb_dev_handle* dev, unsigned int ep) {
  SimHandle* handle = handleOf(dev);
  const int wanted =
      ep == static_cast<unsigned>(UnitUsb::EndpointIn) ? UnitUsb::EndpointIn : UnitUsb::EndpointOut;
  if (int error = checkIo(handle, static_cast<int>(ep), wanted)) return fail(error);
  handle->device->unit->clearHalt();
  return 0;
}

int SimBus::resetep(usb_dev_handle* dev, unsigned int ep) {
  SimHandle* handle = handleOf(dev);
  const int wanted =
      ep == static_cast<unsigned>(UnitUsb::EndpointIn) ? UnitUsb::EndpointIn : UnitUsb::EndpointOut;
  if (int error = checkIo(handle, static_cast<int>(ep), wanted)) return fail(error);
  handle->device->unit->resetEndpoint();
  return 0;
}

int SimBus::reset(usb_dev_handle* dev) {
  SimHandle* handle = handleOf(dev);
  if (!handle) return fail(kErrBadHandle);
  if (handle->closed.load() || !handle->device->present.load()) return fail(kErrNoDevice);
  handle->device->unit->resetDevice();
  return 0;
}

struct usb_device* SimBus::device(usb_dev_handle* dev) {
  SimHandle* handle = handleOf(dev);
  return handle ? &handle->device->record : nullptr;
}

const char* SimBus::strerror() {
  return errorText(lastError_.load());
}

}  // namespace sim
