#pragma once
// A scripted UsbLibrary for the link tests: one bus with a root hub and unit devices, writes
// recorded with their bytes, replies queued per handle, reads without a queued reply blocking
// until a reply is queued, the interface is released, the handle closed or the unit pulled.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/usb_library.h"

class FakeUsb : public UsbLibrary {
 public:
  struct Write {
    int Endpoint;
    std::vector<std::uint8_t> Bytes;
  };

  explicit FakeUsb(int units = 1);
  ~FakeUsb() override;

  // Bus contents.
  struct usb_device* Unit(int index);
  void Pull(int index);         // the unit leaves the bus; its blocked reads return -19
  void SetRootChildren(int n);  // what the root hub reports

  // Script: results of the next writes (a negative value fails that write; default: all).
  void FailNextWrites(int count, int result = -5);
  // Lets the next `okCount` writes pass, then fails `count` writes.
  void FailWritesAfter(int okCount, int count, int result = -5);
  // Replies of the next reads on any handle, in order. A reply shorter than asked is short.
  void QueueReply(std::vector<std::uint8_t> bytes);
  void QueueReplyByte(std::uint8_t first, std::size_t size = 512);
  void QueueReadError(int result);
  void FailOpen(bool fail) { failOpen_ = fail; }

  // Record.
  std::vector<Write> Writes();
  std::vector<std::string> Calls();        // "open", "close", "clear_halt", "reset", ...
  std::vector<unsigned> ResetEndpoints();  // the endpoints of clear_halt and resetep, in order
  int ReadCount();
  bool WaitForBlockedRead(int timeoutMs = 60000);  // a hang guard only
  int OpenHandles();

  // UsbLibrary
  void init() override {}
  void set_debug(int) override {}
  int find_busses() override { return 1; }
  int find_devices() override { return 0; }
  usb_bus* get_busses() override { return &bus_; }
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
  const char* strerror() override { return "fake"; }

 private:
  struct Handle {
    struct usb_device* Device;
    bool Cancelled = false;  // interface released: blocked reads give up
    bool Closed = false;     // kept in the list, so that calls still under way stay safe
  };
  struct Reading {
    std::vector<std::uint8_t> Bytes;
    int Error = 0;
  };
  Handle* Find(usb_dev_handle* dev);
  bool Present(const struct usb_device* device) const;
  void Relink();

  std::mutex mutex_;
  std::condition_variable changed_;
  usb_bus bus_{};
  struct usb_device root_ {};
  std::vector<std::unique_ptr<struct usb_device>> units_;
  std::vector<bool> present_;
  std::list<Handle> handles_;
  std::deque<int> writeResults_;
  std::deque<Reading> replies_;
  std::vector<Write> writes_;
  std::vector<std::string> calls_;
  std::vector<unsigned> resetEndpoints_;
  int reads_ = 0;
  int blocked_ = 0;
  bool failOpen_ = false;
};
