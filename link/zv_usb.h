#pragma once
// The link to one programmer unit: open and close, the bulk write with its recovery, the
// synchronous and asynchronous bulk read, the busy flag, the packet makers and SendCommand.
//
// Threads: a site's worker drives its link; the main thread opens and closes it during a
// rescan; each asynchronous read runs on the link's own read thread. Opened, Busy and the
// read's done flag are atomics. Every library call on the handle is counted; CloseDevice
// takes the handle away first, makes a blocked transfer return by releasing the interface
// (which cancels the interface's transfers) and closes the handle only when no call on it is
// left, so no thread ever uses a closed handle.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/command_block.h"
#include "link/transfer_trace.h"
#include "link/usb_library.h"

class NamedLock;
class LinkTable;

using SleepFunction = std::function<void(std::chrono::milliseconds)>;
void SleepFor(std::chrono::milliseconds duration);  // the real sleep

// What every link of one table shares. Owned by the LinkTable.
struct LinkServices {
  UsbLibrary& Usb;
  NamedLock& UnitLock;  // "USBDevThread": every bus enumeration and every open
  SleepFunction Sleep;  // recovery pauses, chunk pauses, reply polls
  LocalClock Clock;     // the date stamp of every block
  TraceSwitch& Trace;
};

inline constexpr std::size_t kStreamChunk = 1048576;

namespace LinkTiming {
inline constexpr int WriteTimeoutMs = 15000;
inline constexpr int NoTimeLimit = 0;  // libusb 0.1: 0 waits without limit
inline constexpr std::chrono::milliseconds RecoveryPause{100};
inline constexpr std::chrono::milliseconds FindFreePause{500};
inline constexpr std::chrono::milliseconds ReplyPoll{10};
inline constexpr int MaxWriteAttempts = 2;
}  // namespace LinkTiming

// The asynchronous read in progress. The read thread writes only Data (shared with the
// link) and Result, then sets Done; the waiting thread copies Data into its own buffer when
// it sees Done, so a caller that stops waiting never leaves a thread writing into its memory.
// Setting Done and closing the link are announced on Changed (under Mutex), so a waiter
// wakes when its answer is there instead of polling for it.
struct ReadRequest {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::atomic<std::uint8_t> Done{1};  // 1: no read pending, or the read has finished
  usb_dev_handle* Handle = nullptr;
  int Length = 0;
  std::uint8_t* Buffer = nullptr;  // the caller's buffer, written on the caller's thread only
  std::shared_ptr<std::vector<std::uint8_t>> Data;
  std::atomic<int> Result{0};  // the library's return value of the read
  bool Delivered = true;       // Data copied into Buffer (touched by the caller's thread only)
};

// Owns the read request and the read thread; the thread never outlives the object.
class USBThread {
 public:
  USBThread() = default;
  virtual ~USBThread();
  USBThread(const USBThread&) = delete;
  USBThread& operator=(const USBThread&) = delete;

 protected:
  // Waits for the previous read thread, then runs `body` on a new one.
  void StartReadThread(std::function<void()> body);
  void JoinReadThread();
  ReadRequest Request;

 private:
  std::mutex threadMutex_;  // guards thread_ (CloseDevice and the next read may meet)
  std::thread thread_;
};

// How an attempt to open a unit ended. Denied: the unit is on the bus but this user may not
// use its device node, so the open fails (EACCES) or gives a read-only handle whose first
// request is refused (EPERM). Failed: anything else (the unit went, another handle holds it).
enum class OpenOutcome { Opened, Failed, Denied };

// True for the library's negative results (or errno values) that mean "no permission".
bool IsPermissionError(int error);

class USB : public USBThread {
 public:
  USB(LinkServices& services, int site);
  ~USB() override;

  virtual struct usb_device* FindFreeDevice() = 0;

  bool OpenDevice(struct usb_device* device) {
    return TryOpenDevice(device) == OpenOutcome::Opened;
  }
  OpenOutcome TryOpenDevice(struct usb_device* device);
  void CloseDevice();
  std::uint8_t IsOpened() const { return Opened.load(); }
  std::uint8_t IsBusy() const { return Busy.load(); }
  void ClearBusy() { Busy = 0; }
  bool HasHandle() const;

  bool BulkWrite(const std::uint8_t* buffer, int length);
  // Synchronous: true only if exactly `length` bytes arrived. Asynchronous: returns true at
  // once; the reply lands in `buffer` when IsReadDone() first reports 1 (a read that fails
  // leaves 0xFF in byte 0: no answer, as if the link had closed). After IsReadDone() gave 1
  // the buffer is the caller's again; a caller that stops waiting earlier must not call
  // IsReadDone() again with a buffer it has freed, and the next read supersedes the old one.
  bool BulkRead(std::uint8_t* buffer, int length, bool asynchronous);
  std::uint8_t IsReadDone();
  // The wait for an asynchronous reply: with pausePolls it sleeps until the read thread
  // delivers or the link closes, else it polls IsReadDone without pause; 0xFF when Opened
  // drops meanwhile, else byte 0 of the reply.
  SiteResult AwaitReply(std::uint8_t* buffer, bool pausePolls = true);

  // The device record of the open handle, or none.
  struct usb_device* DeviceOfHandle();

  // Packet makers with this link's words.
  PacketPtr MakeCommandPacket(const CommandFields& fields) const;
  PacketPtr MakeParameterPacket(const ParameterFields& fields) const;
  CodeWord MakeCodeWord(std::uint16_t code) const { return ::MakeCodeWord(code); }
  PacketPtr MakeOrdinaryCommandPacket(std::uint8_t commandByte, std::uint32_t argument1 = 0,
                                      std::uint32_t argument2 = 0) const;
  LinkWords Words() const;

  // Builds and writes the block, sets Busy (left set for the operation to clear), and reads
  // the acceptance reply unless the frame type has none. Takes every packet over.
  bool SendCommand(PacketPtr command, PacketPtr parameter, PacketPtr byteQuad, std::uint32_t word96,
                   PacketPtr byteQuadFlag, CodeWord code, PacketPtr name, PacketPtr value);
  bool SendCommand(CommandParts parts);

  int SiteIndex() const { return site_.load(); }
  void SetSiteIndex(int site) { site_ = site; }
  LinkServices& Services() { return services_; }
  void Sleep(std::chrono::milliseconds duration) const { services_.Sleep(duration); }

  // Copied into every CommandPacket / ParameterPacket.
  std::atomic<std::uint32_t> ReservedWord{0};
  std::atomic<std::uint32_t> PinscanWord{FlagByte::Off};
  std::atomic<std::uint32_t> PowerLedWord{0};
  std::atomic<std::uint32_t> ParameterTail{0};
  std::atomic<std::uint8_t> ModeByte{0xA3};

  // The chunk buffer of SendFileRange (1 MiB), kept so that a stream of chunk requests does
  // not allocate and fault in a fresh megabyte each time. Worker thread only.
  std::vector<std::uint8_t>& StreamBuffer();

 private:
  // One open handle and the library calls in progress on it.
  struct HandleSlot {
    usb_dev_handle* Handle = nullptr;
    int InFlight = 0;
  };
  class HandleUse;
  friend class HandleUse;

  bool WriteOnce(const std::uint8_t* buffer, int length);
  bool RecoverWrite();
  bool ReadNow(usb_dev_handle* expected, std::uint8_t* buffer, int length, int* result);
  void AnnounceReadChange();
  bool IsListed(struct usb_device* device);
  void ReleaseAndClose(const std::shared_ptr<HandleSlot>& slot);
  void TraceTransfer(TraceDirection direction, int endpoint, int asked, int result,
                     const std::uint8_t* bytes) const;

  LinkServices& services_;
  std::atomic<int> site_;
  std::atomic<std::uint8_t> Opened{0};
  std::atomic<std::uint8_t> Busy{0};
  std::atomic<struct usb_device*> Device{nullptr};  // the record last opened or found

  mutable std::mutex handleMutex_;  // guards slot_ and every slot's InFlight
  std::condition_variable idle_;
  std::shared_ptr<HandleSlot> slot_;  // the open handle ("Handle"), or none
  std::vector<std::uint8_t> streamBuffer_;
};

class ZvUsb : public USB {
 public:
  static constexpr std::uint64_t kUnknownKey = ~std::uint64_t{0};

  ZvUsb(LinkServices& services, LinkTable& table, int site) : USB(services, site), table_(table) {}

  // A connected unit that no link of the table holds, or none.
  struct usb_device* FindFreeDevice() override;

  // Whether the unit of this link's open handle is on the bus (LinkTable::IsUnitPresent).
  bool IsUnitPresent();

  void SetOrderKey(std::uint64_t key) { OrderKey = key; }
  std::uint64_t GetOrderKey() const { return OrderKey.load(); }
  void ResetOrderKey() { OrderKey = kUnknownKey; }

 private:
  LinkTable& table_;
  std::atomic<std::uint64_t> OrderKey{kUnknownKey};  // the unit's date-time identifier
};
