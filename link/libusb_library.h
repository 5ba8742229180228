#pragma once
// UsbLibrary on the installed libusb 0.1 (-lusb). What the installed library does and what
// this binding adds is in link/README.md; in short: a timeout of 0 waits without limit, a
// pulled unit ends a waiting transfer with -19 (or a short count), transfers move in 16 KiB
// pieces, hub children are filled only when the hub ioctl is allowed, and closing a handle
// under a blocked transfer would leave that transfer polling a dead descriptor for ever, so
// close() first cancels the handle's transfers and waits for them, and calls with a handle
// that is closed or being closed return -ENODEV without reaching the library.
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>

#include "link/usb_library.h"

class LibusbLibrary : public UsbLibrary {
 public:
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
  // Transfers in progress and claimed interfaces per handle, so that close() can cancel and
  // wait for the transfers before the library frees the handle.
  struct HandleState {
    int transfers = 0;
    bool closing = false;
    std::set<int> interfaces;
  };
  class Transfer;
  std::mutex mutex_;
  std::condition_variable idle_;
  std::map<usb_dev_handle*, HandleState> handles_;
};
