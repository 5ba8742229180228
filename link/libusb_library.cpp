#include "link/libusb_library.h"

#include <cerrno>
#include <chrono>

// Admits one call on a handle that is open and not being closed, and counts it for as long as
// it lives, so that close() can wait for it. A refused call returns -ENODEV without touching
// the library: after usb_close the handle is freed memory.
class LibusbLibrary::Transfer {
 public:
  Transfer(LibusbLibrary& library, usb_dev_handle* handle) : library_(library), handle_(handle) {
    std::lock_guard lock(library_.mutex_);
    auto it = library_.handles_.find(handle_);
    admitted_ = it != library_.handles_.end() && !it->second.closing;
    if (admitted_) ++it->second.transfers;
  }
  ~Transfer() {
    if (!admitted_) return;
    std::lock_guard lock(library_.mutex_);
    auto it = library_.handles_.find(handle_);
    if (it != library_.handles_.end() && --it->second.transfers == 0) library_.idle_.notify_all();
  }
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  bool Admitted() const { return admitted_; }

 private:
  LibusbLibrary& library_;
  usb_dev_handle* handle_;
  bool admitted_ = false;
};

void LibusbLibrary::init() {
  usb_init();
}
void LibusbLibrary::set_debug(int level) {
  usb_set_debug(level);
}
int LibusbLibrary::find_busses() {
  return usb_find_busses();
}
int LibusbLibrary::find_devices() {
  return usb_find_devices();
}
usb_bus* LibusbLibrary::get_busses() {
  return usb_get_busses();
}

usb_dev_handle* LibusbLibrary::open(struct usb_device* dev) {
  usb_dev_handle* handle = usb_open(dev);
  if (handle != nullptr) {
    std::lock_guard lock(mutex_);
    handles_[handle] = HandleState{};
  }
  return handle;
}

int LibusbLibrary::close(usb_dev_handle* dev) {
  // usb_close under a waiting transfer would leave it polling a closed descriptor for ever
  // (the library's reap loop stops only on ENODEV). Releasing the claimed interfaces makes the
  // kernel cancel their URBs and the transfer returns; repeat until none is left, as a
  // transfer that was just starting re-claims the interface in the kernel.
  std::unique_lock lock(mutex_);
  auto it = handles_.find(dev);
  if (it == handles_.end()) return -ENODEV;
  it->second.closing = true;
  while (it->second.transfers > 0) {
    // Interface 0 when none was claimed: the kernel claims it itself for a transfer.
    const std::set<int> interfaces =
        it->second.interfaces.empty() ? std::set<int>{0} : it->second.interfaces;
    lock.unlock();
    for (int interface : interfaces) usb_release_interface(dev, interface);
    lock.lock();
    idle_.wait_for(lock, std::chrono::milliseconds(20));
    it = handles_.find(dev);
  }
  handles_.erase(it);
  lock.unlock();
  return usb_close(dev);
}

int LibusbLibrary::set_configuration(usb_dev_handle* dev, int configuration) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_set_configuration(dev, configuration) : -ENODEV;
}

int LibusbLibrary::claim_interface(usb_dev_handle* dev, int interface) {
  Transfer call(*this, dev);
  if (!call.Admitted()) return -ENODEV;
  const int result = usb_claim_interface(dev, interface);
  if (result >= 0) {
    std::lock_guard lock(mutex_);
    handles_[dev].interfaces.insert(interface);
  }
  return result;
}

int LibusbLibrary::release_interface(usb_dev_handle* dev, int interface) {
  // The interface stays on the list: a transfer that starts after this claims it again in the
  // kernel, and close() must be able to cancel that one too.
  Transfer call(*this, dev);
  return call.Admitted() ? usb_release_interface(dev, interface) : -ENODEV;
}

// Timeout 0 waits without limit in this library (the deadline is compared only for a non-zero
// timeout), so it is passed through unchanged.
int LibusbLibrary::bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_bulk_write(dev, ep, bytes, size, timeout) : -ENODEV;
}

int LibusbLibrary::bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_bulk_read(dev, ep, bytes, size, timeout) : -ENODEV;
}

int LibusbLibrary::clear_halt(usb_dev_handle* dev, unsigned int ep) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_clear_halt(dev, ep) : -ENODEV;
}

int LibusbLibrary::resetep(usb_dev_handle* dev, unsigned int ep) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_resetep(dev, ep) : -ENODEV;
}

int LibusbLibrary::reset(usb_dev_handle* dev) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_reset(dev) : -ENODEV;
}

struct usb_device* LibusbLibrary::device(usb_dev_handle* dev) {
  Transfer call(*this, dev);
  return call.Admitted() ? usb_device(dev) : nullptr;
}

const char* LibusbLibrary::strerror() {
  return usb_strerror();
}
