#include "link/zv_usb.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/link_table.h"
#include "support/named_lock.h"

void SleepFor(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

USBThread::~USBThread() {
  JoinReadThread();
}

void USBThread::StartReadThread(std::function<void()> body) {
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
  thread_ = std::thread(std::move(body));
}

void USBThread::JoinReadThread() {
  std::lock_guard lock(threadMutex_);
  if (thread_.joinable()) thread_.join();
}

// Counts one library call on the open handle (or on `expected` only, if given) for as long
// as it lives. Empty when the link holds no such handle.
class USB::HandleUse {
 public:
  explicit HandleUse(USB& link, usb_dev_handle* expected = nullptr) : link_(link) {
    std::lock_guard lock(link_.handleMutex_);
    if (link_.slot_ && (expected == nullptr || expected == link_.slot_->Handle)) {
      slot_ = link_.slot_;
      ++slot_->InFlight;
    }
  }
  ~HandleUse() {
    if (!slot_) return;
    std::lock_guard lock(link_.handleMutex_);
    if (--slot_->InFlight == 0) link_.idle_.notify_all();
  }
  HandleUse(const HandleUse&) = delete;
  HandleUse& operator=(const HandleUse&) = delete;

  explicit operator bool() const { return slot_ != nullptr; }
  usb_dev_handle* Get() const { return slot_->Handle; }

 private:
  USB& link_;
  std::shared_ptr<HandleSlot> slot_;
};

USB::USB(LinkServices& services, int site) : services_(services), site_(site) {}

USB::~USB() {
  CloseDevice();
}

bool USB::HasHandle() const {
  std::lock_guard lock(handleMutex_);
  return slot_ != nullptr;
}

bool USB::IsListed(struct usb_device* device) {
  for (usb_bus* bus = services_.Usb.get_busses(); bus != nullptr; bus = bus->next) {
    for (struct usb_device* dev = bus->devices; dev != nullptr; dev = dev->next) {
      if (dev == device) return true;
    }
  }
  return false;
}

bool IsPermissionError(int error) {
  const int code = error < 0 ? -error : error;
  return code == EACCES || code == EPERM;
}

OpenOutcome USB::TryOpenDevice(struct usb_device* device) {
  if (HasHandle()) return OpenOutcome::Opened;
  if (device == nullptr) return OpenOutcome::Failed;
  UsbLibrary& usb = services_.Usb;
  // Under the UnitLock a concurrent search cannot free the record while it is opened; a
  // record of a unit that went away since the caller's search is no longer listed.
  NamedLockGuard unitLock(services_.UnitLock);
  if (!IsListed(device)) return OpenOutcome::Failed;
  errno = 0;
  usb_dev_handle* handle = usb.open(device);
  if (handle == nullptr) {
    // The library leaves the failed open(2)'s errno behind.
    return IsPermissionError(errno) ? OpenOutcome::Denied : OpenOutcome::Failed;
  }
  int result = usb.set_configuration(handle, UnitUsb::Configuration);
  if (result >= 0) result = usb.claim_interface(handle, UnitUsb::Interface);
  if (result < 0) {
    usb.close(handle);
    return IsPermissionError(result) ? OpenOutcome::Denied : OpenOutcome::Failed;
  }
  {
    std::lock_guard lock(handleMutex_);
    if (!slot_) {
      slot_ = std::make_shared<HandleSlot>();
      slot_->Handle = handle;
      handle = nullptr;
      // Under the lock, so that a CloseDevice in between cannot leave Opened set without a
      // handle.
      Device = device;
      Opened = 1;
    }
  }
  if (handle != nullptr) {  // another thread opened this link meanwhile
    usb.release_interface(handle, UnitUsb::Interface);
    usb.close(handle);
  }
  return OpenOutcome::Opened;
}

void USB::ReleaseAndClose(const std::shared_ptr<HandleSlot>& slot) {
  UsbLibrary& usb = services_.Usb;
  // The library makes calls still under way on the handle return (releasing the interface
  // cancels its transfers; closing ends the rest) and refuses later ones; the link then waits
  // until none of its own calls holds the old handle.
  usb.release_interface(slot->Handle, UnitUsb::Interface);
  usb.close(slot->Handle);
  std::unique_lock lock(handleMutex_);
  idle_.wait(lock, [&] { return slot->InFlight == 0; });
}

void USB::CloseDevice() {
  std::shared_ptr<HandleSlot> slot;
  {
    std::lock_guard lock(handleMutex_);
    slot = std::move(slot_);
    slot_.reset();
    Busy = 0;
    Opened = 0;
  }
  AnnounceReadChange();  // a reply waiter stops waiting now
  if (slot) ReleaseAndClose(slot);
  JoinReadThread();
}

void USB::TraceTransfer(TraceDirection direction, int endpoint, int asked, int result,
                        const std::uint8_t* bytes) const {
  if (TransferTrace* trace = services_.Trace.Current()) {
    trace->Record(SiteIndex(), direction, endpoint, asked, result, bytes);
  }
}

bool USB::WriteOnce(const std::uint8_t* buffer, int length) {
  HandleUse use(*this);
  if (!use) return false;
  // libusb 0.1 takes a char* for both directions; a write does not modify the bytes.
  char* bytes = const_cast<char*>(reinterpret_cast<const char*>(buffer));
  const int result = services_.Usb.bulk_write(use.Get(), UnitUsb::EndpointOut, bytes, length,
                                              LinkTiming::WriteTimeoutMs);
  TraceTransfer(TraceDirection::Out, UnitUsb::EndpointOut, length, result, buffer);
  return result == length;
}

bool USB::RecoverWrite() {
  UsbLibrary& usb = services_.Usb;
  Sleep(LinkTiming::RecoveryPause);
  {
    HandleUse use(*this);
    if (use) {
      Device = usb.device(use.Get());
      usb.clear_halt(use.Get(), UnitUsb::EndpointOut);
      usb.resetep(use.Get(), UnitUsb::EndpointOut);
      usb.reset(use.Get());
    }
  }
  CloseDevice();
  if (OpenDevice(Device.load())) return true;
  Sleep(LinkTiming::FindFreePause);
  Device = FindFreeDevice();
  return OpenDevice(Device.load());
}

bool USB::BulkWrite(const std::uint8_t* buffer, int length) {
  if (!HasHandle()) return false;
  for (int attempt = 1;; ++attempt) {
    // Each attempt writes the whole block again from its start.
    if (WriteOnce(buffer, length)) return true;
    if (attempt >= LinkTiming::MaxWriteAttempts || !RecoverWrite()) return false;
  }
}

bool USB::ReadNow(usb_dev_handle* expected, std::uint8_t* buffer, int length, int* result) {
  HandleUse use(*this, expected);
  if (!use) {
    *result = -ENODEV;
    return false;
  }
  *result = services_.Usb.bulk_read(use.Get(), UnitUsb::EndpointIn, reinterpret_cast<char*>(buffer),
                                    length, LinkTiming::NoTimeLimit);
  TraceTransfer(TraceDirection::In, UnitUsb::EndpointIn, length, *result, buffer);
  return *result == length;
}

bool USB::BulkRead(std::uint8_t* buffer, int length, bool asynchronous) {
  if (!asynchronous) {
    int result = 0;
    return ReadNow(nullptr, buffer, length, &result);
  }
  usb_dev_handle* handle = nullptr;
  {
    std::lock_guard lock(handleMutex_);
    if (slot_) handle = slot_->Handle;
  }
  auto data = std::make_shared<std::vector<std::uint8_t>>(static_cast<std::size_t>(length));
  JoinReadThread();  // the previous read thread may still be running (link closed under it)
  Request.Handle = handle;
  Request.Length = length;
  Request.Buffer = buffer;
  Request.Data = data;
  Request.Result = 0;
  Request.Delivered = false;
  Request.Done = 0;
  StartReadThread([this, handle, length, data] {
    int result = -ENODEV;
    if (handle != nullptr) ReadNow(handle, data->data(), length, &result);
    Request.Result.store(result, std::memory_order_relaxed);
    {
      std::lock_guard lock(Request.Mutex);
      Request.Done.store(1, std::memory_order_release);
    }
    Request.Changed.notify_all();
  });
  return true;
}

std::uint8_t USB::IsReadDone() {
  if (Request.Done.load(std::memory_order_acquire) == 0) return 0;
  if (!Request.Delivered) {
    Request.Delivered = true;
    const int result = Request.Result.load(std::memory_order_relaxed);
    if (result > 0) {
      std::memcpy(Request.Buffer, Request.Data->data(),
                  static_cast<std::size_t>(std::min(result, Request.Length)));
    } else {
      Request.Buffer[0] = SiteResultCode::LinkClosed;  // nothing arrived: no answer
    }
  }
  return 1;
}

SiteResult USB::AwaitReply(std::uint8_t* buffer, bool pausePolls) {
  while (IsReadDone() == 0) {
    if (pausePolls) {
      // Both ends of the wait announce themselves (the read thread's answer, CloseDevice),
      // so it needs no timer: a step of many seconds costs no wake-ups.
      std::unique_lock lock(Request.Mutex);
      Request.Changed.wait(lock, [this] {
        return Request.Done.load(std::memory_order_acquire) != 0 || IsOpened() == 0;
      });
    } else {
      std::this_thread::yield();
    }
    if (IsOpened() == 0) {
      // The read thread may still be running; it writes only its own buffer, and what it
      // reads is never delivered into the caller's.
      Request.Delivered = true;
      buffer[0] = SiteResultCode::LinkClosed;
      return SiteResultCode::LinkClosed;
    }
  }
  return buffer[0];
}

void USB::AnnounceReadChange() {
  { std::lock_guard lock(Request.Mutex); }
  Request.Changed.notify_all();
}

struct usb_device* USB::DeviceOfHandle() {
  HandleUse use(*this);
  return use ? services_.Usb.device(use.Get()) : nullptr;
}

LinkWords USB::Words() const {
  return LinkWords{ModeByte.load(), ReservedWord.load(), PinscanWord.load(), PowerLedWord.load(),
                   ParameterTail.load()};
}

PacketPtr USB::MakeCommandPacket(const CommandFields& fields) const {
  return ::MakeCommandPacket(fields, Words());
}

PacketPtr USB::MakeParameterPacket(const ParameterFields& fields) const {
  return ::MakeParameterPacket(fields, Words());
}

PacketPtr USB::MakeOrdinaryCommandPacket(std::uint8_t commandByte, std::uint32_t argument1,
                                         std::uint32_t argument2) const {
  return ::MakeOrdinaryCommandPacket(commandByte, Words(), argument1, argument2);
}

bool USB::SendCommand(PacketPtr command, PacketPtr parameter, PacketPtr byteQuad,
                      std::uint32_t word96, PacketPtr byteQuadFlag, CodeWord code, PacketPtr name,
                      PacketPtr value) {
  return SendCommand(CommandParts{std::move(command), std::move(parameter), std::move(byteQuad),
                                  word96, std::move(byteQuadFlag), code, std::move(name),
                                  std::move(value)});
}

bool USB::SendCommand(CommandParts parts) {
  const CommandBlock block = BuildCommandBlock(parts, MakeDateStamp(services_.Clock()));
  Busy = 1;
  parts = CommandParts{};  // the packets are released here, before the I/O
  if (!BulkWrite(block.data(), static_cast<int>(block.size()))) return false;
  if (!FrameType::HasReply(block[BlockOffset::CommandPacket + CommandByte::FrameType])) {
    return true;
  }
  Reply reply;
  reply.fill(kFill);
  return BulkRead(reply.data(), static_cast<int>(reply.size()), false) &&
         reply[0] == SiteResultCode::Pass;
}

std::vector<std::uint8_t>& USB::StreamBuffer() {
  if (streamBuffer_.size() != kStreamChunk) streamBuffer_.resize(kStreamChunk);
  return streamBuffer_;
}

struct usb_device* ZvUsb::FindFreeDevice() {
  return table_.FindFreeDevice();
}

bool ZvUsb::IsUnitPresent() {
  return table_.IsUnitPresent(SiteIndex());
}
