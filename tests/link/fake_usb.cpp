#include "tests/link/fake_usb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "tests/support/hang_guard.h"

namespace {
constexpr unsigned short kHubVendor = 0x1D6B;
constexpr int kWritePasses = 0;  // a scripted write result that lets the write through
}  // namespace

FakeUsb::FakeUsb(int units) {
  std::strcpy(bus_.dirname, "001");
  root_.descriptor.idVendor = kHubVendor;
  root_.descriptor.idProduct = 0x0002;
  std::strcpy(root_.filename, "001");
  root_.bus = &bus_;
  for (int i = 0; i < units; ++i) {
    auto unit = std::make_unique<struct usb_device>();
    *unit = {};
    unit->descriptor.idVendor = UnitUsb::VendorId;
    unit->descriptor.idProduct = UnitUsb::ProductId;
    std::snprintf(unit->filename, sizeof unit->filename, "%03d", i + 2);
    unit->bus = &bus_;
    units_.push_back(std::move(unit));
    present_.push_back(true);
  }
  bus_.root_dev = &root_;
  Relink();
}

FakeUsb::~FakeUsb() = default;

void FakeUsb::Relink() {
  struct usb_device* previous = &root_;
  root_.prev = nullptr;
  int children = 0;
  for (std::size_t i = 0; i < units_.size(); ++i) {
    if (!present_[i]) continue;
    previous->next = units_[i].get();
    units_[i]->prev = previous;
    previous = units_[i].get();
    ++children;
  }
  previous->next = nullptr;
  bus_.devices = &root_;
  root_.num_children = static_cast<unsigned char>(children);
}

struct usb_device* FakeUsb::Unit(int index) {
  return units_[static_cast<std::size_t>(index)].get();
}

void FakeUsb::Pull(int index) {
  std::lock_guard lock(mutex_);
  present_[static_cast<std::size_t>(index)] = false;
  Relink();
  changed_.notify_all();
}

void FakeUsb::SetRootChildren(int n) {
  std::lock_guard lock(mutex_);
  root_.num_children = static_cast<unsigned char>(n);
}

bool FakeUsb::Present(const struct usb_device* device) const {
  for (std::size_t i = 0; i < units_.size(); ++i) {
    if (units_[i].get() == device) return present_[i];
  }
  return false;
}

void FakeUsb::FailNextWrites(int count, int result) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < count; ++i) writeResults_.push_back(result);
}

void FakeUsb::FailWritesAfter(int okCount, int count, int result) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < okCount; ++i) writeResults_.push_back(kWritePasses);
  for (int i = 0; i < count; ++i) writeResults_.push_back(result);
}

void FakeUsb::QueueReply(std::vector<std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  replies_.push_back(Reading{std::move(bytes), 0});
  changed_.notify_all();
}

void FakeUsb::QueueReplyByte(std::uint8_t first, std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0xFF);
  bytes[0] = first;
  QueueReply(std::move(bytes));
}

void FakeUsb::QueueReadError(int result) {
  std::lock_guard lock(mutex_);
  replies_.push_back(Reading{{}, result});
  changed_.notify_all();
}

std::vector<FakeUsb::Write> FakeUsb::Writes() {
  std::lock_guard lock(mutex_);
  return writes_;
}

std::vector<std::string> FakeUsb::Calls() {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<unsigned> FakeUsb::ResetEndpoints() {
  std::lock_guard lock(mutex_);
  return resetEndpoints_;
}

int FakeUsb::ReadCount() {
  std::lock_guard lock(mutex_);
  return reads_;
}

bool FakeUsb::WaitForBlockedRead(int timeoutMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return blocked_ > 0; });
}

int FakeUsb::OpenHandles() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(handles_.begin(), handles_.end(),
                                        [](const Handle& handle) { return !handle.Closed; }));
}

FakeUsb::Handle* FakeUsb::Find(usb_dev_handle* dev) {
  for (Handle& handle : handles_) {
    if (reinterpret_cast<usb_dev_handle*>(&handle) == dev) return handle.Closed ? nullptr : &handle;
  }
  return nullptr;
}

usb_dev_handle* FakeUsb::open(struct usb_device* dev) {
  std::lock_guard lock(mutex_);
  calls_.push_back("open");
  if (failOpen_ || !Present(dev)) return nullptr;
  handles_.push_back(Handle{dev});
  return reinterpret_cast<usb_dev_handle*>(&handles_.back());
}

int FakeUsb::close(usb_dev_handle* dev) {
  std::lock_guard lock(mutex_);
  calls_.push_back("close");
  Handle* handle = Find(dev);
  if (handle == nullptr) return -ENODEV;
  handle->Closed = true;
  changed_.notify_all();
  return 0;
}

int FakeUsb::set_configuration(usb_dev_handle* dev, int) {
  std::lock_guard lock(mutex_);
  return Find(dev) ? 0 : -EBADF;
}

int FakeUsb::claim_interface(usb_dev_handle* dev, int) {
  std::lock_guard lock(mutex_);
  Handle* handle = Find(dev);
  if (handle == nullptr) return -ENODEV;
  handle->Cancelled = false;
  return 0;
}

int FakeUsb::release_interface(usb_dev_handle* dev, int) {
  std::lock_guard lock(mutex_);
  calls_.push_back("release");
  Handle* handle = Find(dev);
  if (handle == nullptr) return -ENODEV;
  handle->Cancelled = true;
  changed_.notify_all();
  return 0;
}

int FakeUsb::bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int) {
  std::lock_guard lock(mutex_);
  Handle* handle = Find(dev);
  if (handle == nullptr) return -ENODEV;
  if (!Present(handle->Device)) return -ENODEV;
  const auto* first = reinterpret_cast<const std::uint8_t*>(bytes);
  writes_.push_back(Write{ep, std::vector<std::uint8_t>(first, first + size)});
  if (!writeResults_.empty()) {
    const int result = writeResults_.front();
    writeResults_.pop_front();
    return result == kWritePasses ? size : result;
  }
  return size;
}

int FakeUsb::bulk_read(usb_dev_handle* dev, int, char* bytes, int size, int) {
  std::unique_lock lock(mutex_);
  ++reads_;
  Handle* handle = Find(dev);
  if (handle == nullptr) return -ENODEV;
  ++blocked_;
  changed_.notify_all();
  // Blocks as the kernel does for the link's endless reads; a test that never answers fails
  // with the library's time-out instead of hanging.
  const bool woken = changed_.wait_for(lock, kHangGuard, [&] {
    return !replies_.empty() || handle->Cancelled || handle->Closed || !Present(handle->Device);
  });
  --blocked_;
  if (!woken) {
    ADD_FAILURE() << "a bulk read was never answered, cancelled or closed";
    return -ETIMEDOUT;
  }
  if (handle->Closed || !Present(handle->Device)) return -ENODEV;
  if (handle->Cancelled) return 0;  // the kernel's cancelled URB: nothing moved
  Reading reading = std::move(replies_.front());
  replies_.pop_front();
  if (reading.Error != 0) return reading.Error;
  const int moved = std::min(size, static_cast<int>(reading.Bytes.size()));
  std::memcpy(bytes, reading.Bytes.data(), static_cast<std::size_t>(moved));
  return moved;
}

int FakeUsb::clear_halt(usb_dev_handle*, unsigned int ep) {
  std::lock_guard lock(mutex_);
  calls_.push_back("clear_halt");
  resetEndpoints_.push_back(ep);
  return 0;
}

int FakeUsb::resetep(usb_dev_handle*, unsigned int ep) {
  std::lock_guard lock(mutex_);
  calls_.push_back("resetep");
  resetEndpoints_.push_back(ep);
  return 0;
}

int FakeUsb::reset(usb_dev_handle*) {
  std::lock_guard lock(mutex_);
  calls_.push_back("reset");
  return 0;
}

struct usb_device* FakeUsb::device(usb_dev_handle* dev) {
  std::lock_guard lock(mutex_);
  Handle* handle = Find(dev);
  return handle ? handle->Device : nullptr;
}
