#pragma once
// One simulated programmer unit: the firmware stand-in behind the two bulk endpoints.
// Thread-safe: the PC writes on its worker thread and reads on a separate read thread at the
// same time, tests arm faults and inspect the record from theirs. A unit is plugged into a
// SimBus; the bus calls the endpoint functions at the bottom.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <typeindex>
#include <vector>

#include "sim/command_context.h"
#include "sim/faults.h"
#include "sim/shared_link.h"
#include "sim/timing_model.h"
#include "sim/unit_record.h"
#include "sim/virtual_gang.h"

namespace sim {

// Firmware facts that later command families report (number 1 or 2; version bytes A, B, C, D).
struct FirmwareInfo {
  std::uint8_t number = 1;
  std::array<std::uint8_t, 4> version{1, '.', 3, 0};
};

struct UnitConfig {
  std::string name = "unit";  // for notices and messages only
  std::string serialText = "SIM-000000";
  std::uint64_t dateTimeId = 0x0134B1C500016F30ULL;
  bool blankEeprom = false;  // EEPROM all 0xFF (no serial text, no identifier)
  FirmwareInfo firmware;
  TimingModel timing;        // off unless switched on
  bool discardData = false;  // chunks are acknowledged but not stored (benchmarks)
  std::size_t recordLimit = 4096;
  std::filesystem::path sdCardFolder;  // host folder holding the SD card; empty: no card
  bool standardCommands = true;        // install every command family the simulator has
  GangConfig gang;                     // operator, fail rate, part kind (all off by default)
};

// What the unit's protocol engine is doing.
enum class UnitPhase { Idle, ReceivingChunks, SendingChunks, DataStream, Hung };

class SimUnit {
 public:
  explicit SimUnit(UnitConfig config = {});
  ~SimUnit();
  SimUnit(const SimUnit&) = delete;
  SimUnit& operator=(const SimUnit&) = delete;

  const std::string& name() const { return name_; }

  // EEPROM and firmware facts.
  void setSerialText(const std::string& text);
  void setDateTimeId(std::uint64_t id);
  void blankEeprom();
  bool writeEeprom(std::size_t offset, std::span<const std::uint8_t> bytes);
  std::vector<std::uint8_t> eepromBytes() const;
  void setFirmware(const FirmwareInfo& info);
  FirmwareInfo firmware() const;
  std::filesystem::path sdCardFolder() const;

  // Unit memory (bytes never written read 0xFF).
  std::vector<std::uint8_t> readMemory(std::uint32_t address, std::size_t length) const;
  bool writeMemory(std::uint32_t address, std::span<const std::uint8_t> bytes);
  void clearMemory();
  void setDiscardData(bool discard);

  void setTiming(const TimingModel& timing);
  TimingModel timing() const;

  // Faults (see faults.h).
  void armFault(const Fault& fault);
  void clearFaults();

  // What the unit received so far.
  UnitRecord record() const;
  void clearRecord();

  // Runs `f` on the unit's state object of type T (see CommandContext::state) under the lock.
  template <class T, class F>
  void withState(F&& f) {
    std::lock_guard lock(mutex_);
    auto& slot = stateSlotLocked(std::type_index(typeid(T)));
    if (!slot) slot = std::make_shared<T>();
    f(*static_cast<T*>(slot.get()));
  }

  // Extends or replaces the firmware's command table.
  void registerCommand(std::uint16_t code, CommandHandler handler);
  void registerFrame(std::uint8_t frameType, CommandHandler handler);

  // The data stream: raw chunks written by the PC are stored from `address` on (wrapping
  // inside the data buffer) and each is acknowledged with a 512-byte 0xA0 reply, without an
  // announcing block, until `expectedBytes` arrived (0: until leaveDataStream). Replaces any
  // transfer in progress.
  void enterDataStream(std::uint64_t expectedBytes = 0, std::uint32_t address = 0x20000000);
  void leaveDataStream();
  UnitPhase phase() const;
  std::uint64_t streamedBytes() const;  // of the current or last data stream

  bool attached() const { return attached_.load(); }

  // Parts this unit finished (see PartTally); lock-free, readable from any thread.
  std::uint64_t partsGood() const { return tally_.good.load(); }
  std::uint64_t partsFailed() const { return tally_.failed.load(); }

  // ---- endpoint side, called by the bus ----
  // Called (outside the unit's lock, on the PC's thread) when a fault makes the unit leave
  // the bus; the bus sets it while the unit is plugged.
  using LeaveHook = std::function<void(std::uint64_t session,
                                       std::optional<std::chrono::milliseconds> rejoinAfter)>;
  // Starts a new attachment (plug); none when the unit is attached already.
  std::optional<std::uint64_t> attach(LeaveHook hook);
  // Ends the attachment: protocol state reset, pending replies dropped, readers released.
  void detach(std::uint64_t session);
  // Bytes taken, or a negative error (-19 when the session is over, -5 for a failed write).
  // With the timing model on, the bytes then take their share of the bus's `link`.
  int bulkWrite(std::uint64_t session, const std::uint8_t* bytes, int size, BusLink& link);
  // Blocks until a reply is due, the session ends or `closed` is set (-19), or the timeout
  // (ms, 0 = without limit) runs out (-110); the bytes read take their share of `link`.
  int bulkRead(std::uint64_t session, const std::atomic<bool>& closed, std::uint8_t* out, int size,
               int timeoutMs, BusLink& link);
  // Wakes blocked readers so that they look at their `closed` flag again.
  void wakeReaders();
  // Recovery calls; each clears a stalled OUT endpoint.
  void clearHalt();
  void resetEndpoint();
  void resetDevice();
  void configurationSet();

 private:
  std::string name_;
  PartTally tally_;
  mutable std::mutex mutex_;
  std::condition_variable replyReady_;
  std::unique_ptr<UnitCore> core_;  // guarded by mutex_
  FaultSet faults_;
  std::atomic<bool> attached_{false};
  std::uint64_t session_ = 0;  // guarded by mutex_
  LeaveHook leaveHook_;        // guarded by mutex_

  // What a bulk I/O of `bytes` costs on the bus's link (lock held); none with timing off.
  struct LinkShare {
    std::uint64_t bytes = 0;
    double bytesPerSecond = 0;
    double scale = 1.0;
    void take(BusLink& link) const;
  };
  LinkShare linkShareLocked(int bytes) const;

  // The bus's leave, bound to this attachment, when the unit must leave now (lock held).
  std::function<void()> takePendingLeave();
  std::shared_ptr<void>& stateSlotLocked(std::type_index type);
};

}  // namespace sim
