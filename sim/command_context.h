#pragma once
// The firmware's command table: a handler per command code (or per frame type for the frames
// that carry no code), and the context a handler works with. New command families (unit
// preparation, procedure runs, SD card, firmware update) register their handlers here and
// never touch the unit's core.
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>

#include "sim/command_block.h"
#include "sim/faults.h"
#include "sim/unit_record.h"
#include "sim/virtual_gang.h"

namespace sim {

class UnitCore;
class UnitMemory;
class Eeprom;
struct FirmwareInfo;
struct TimingModel;

using ReplyBytes = std::array<std::uint8_t, kReplySize>;

// A reply with byte 0 = result and every other byte 0.
ReplyBytes makeReply(std::uint8_t result);

class CommandContext;
using CommandHandler = std::function<void(CommandContext&)>;
// Runs when a transfer a handler started has moved its last chunk.
using TransferDone = std::function<void(CommandContext&)>;

// What a handler may do. Handlers run on the PC's writing thread with the unit's lock held:
// they must not block and must not call back into the bus. Faults are applied here, so
// handlers simply answer as a healthy unit would.
class CommandContext {
 public:
  CommandContext(UnitCore& core, ReceivedCommand& command, bool acceptanceSent);

  const DecodedBlock& block() const { return command_.block; }
  std::uint16_t code() const { return command_.code(); }
  std::uint64_t index() const { return command_.index; }

  UnitMemory& memory();
  Eeprom& eeprom();
  FirmwareInfo& firmware();
  const TimingModel& timing() const;
  const GangConfig& gang() const;
  // Counts a finished run in the unit's tally and the rig's.
  void countPart(bool good);
  // The host folder that holds the unit's SD card (empty: no card).
  const std::filesystem::path& sdCardFolder() const;

  // The acceptance reply, due after the command turnaround: accept() sends 0xA0, refuse() 0xA1. The
  // first call of complete(), send() or a transfer start accepts implicitly; a handler that sends
  // nothing is accepted by the core when it returns.
  void accept();
  void refuse();
  bool acceptanceSent() const { return acceptanceSent_; }
  // Frames 0xA5 and 0xA9: every reply of the command is dropped.
  bool silent() const;

  // The completion reply, due after the command's duration in the timing model (or after
  // `modelDuration`, for commands whose time depends on what they move).
  void complete(std::uint8_t result);
  void complete(const ReplyBytes& reply);
  void complete(const ReplyBytes& reply, std::chrono::nanoseconds modelDuration);
  // Any further reply (procedure step replies), due after `delay` (real time). Faults aimed at
  // `faultCode` (default: this command's code) apply. Returns byte 0 as sent, or -1 when a
  // fault kept the reply back or cut it short.
  int send(const ReplyBytes& reply, ReplyStage stage, std::chrono::nanoseconds delay,
           std::optional<std::uint16_t> faultCode = std::nullopt);

  // Transfers announced by this command. Each chunk written by the PC is acknowledged
  // (receive, stream) or each chunk sent waits for the PC's 1024-byte acknowledgement (send).
  void receiveChunks(std::uint32_t address, std::uint32_t chunkLength, std::uint32_t count,
                     TransferDone done = {});
  void sendChunks(std::uint32_t address, std::uint32_t chunkLength, std::uint32_t count,
                  TransferDone done = {});
  // Raw chunks without announcement until `expectedBytes` arrived (0: until left by the API).
  void receiveStream(std::uint64_t expectedBytes, std::uint32_t address, TransferDone done = {});

  // Per-unit state of a handler family, made on first use (one object per type and unit).
  template <class T>
  T& state() {
    auto& slot = stateSlot(std::type_index(typeid(T)));
    if (!slot) slot = std::make_shared<T>();
    return *static_cast<T*>(slot.get());
  }

  // The unit leaves the bus once the PC has read what is queued, and comes back (a new
  // attachment, protocol idle) after `rejoinAfter`; none: it stays away.
  void leaveBus(std::optional<std::chrono::milliseconds> rejoinAfter);

  // Notes something the firmware found wrong in the PC's traffic (visible in the record).
  void protocolError(std::string text);

 private:
  std::shared_ptr<void>& stateSlot(std::type_index type);
  void ensureAccepted();
  std::chrono::nanoseconds turnaround() const;

  UnitCore& core_;
  ReceivedCommand& command_;
  bool acceptanceSent_;
};

// Not thread-safe; the unit guards its table with its own lock.
class CommandRegistry {
 public:
  void add(std::uint16_t code, CommandHandler handler);
  // For frames dispatched by frame type rather than code (merge 0xA3, SD run 0xA7, 0xA9).
  void addFrame(std::uint8_t frameType, CommandHandler handler);
  void remove(std::uint16_t code);
  // The frame-type handler if there is one, else the handler of the first code, else none.
  const CommandHandler* find(const DecodedBlock& block) const;

 private:
  std::map<std::uint16_t, CommandHandler> byCode_;
  std::map<std::uint8_t, CommandHandler> byFrame_;
};

}  // namespace sim
