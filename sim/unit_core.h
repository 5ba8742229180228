#pragma once
// The protocol engine of one unit: decodes what the PC writes, dispatches commands through
// the registry, runs the chunked transfers and the data stream, applies the armed faults to
// the replies, and queues the replies for the IN endpoint. Every function runs with the
// owning SimUnit's lock held.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <typeindex>
#include <unordered_map>

#include "sim/command_context.h"
#include "sim/eeprom.h"
#include "sim/faults.h"
#include "sim/reply_queue.h"
#include "sim/sim_unit.h"
#include "sim/timing_model.h"
#include "sim/unit_memory.h"
#include "sim/unit_record.h"

namespace sim {

// A chunked transfer or data stream in progress.
struct Transfer {
  std::uint32_t address = 0;
  std::uint32_t chunkLength = 0;
  std::uint32_t count = 0;          // chunks announced (0 for a stream)
  std::uint32_t done = 0;           // chunks moved so far
  std::uint64_t expectedBytes = 0;  // stream: 0 = open-ended
  std::uint64_t received = 0;       // stream bytes so far
  std::uint32_t ringSize = 0;       // stream: bytes after `address` it wraps within
  std::optional<std::uint32_t> leaveAfter;
  FaultTarget target;
  ReceivedCommand command;  // the announcing command (empty for an API stream)
  TransferDone onDone;
};

class UnitCore {
 public:
  UnitCore(const UnitConfig& config, FaultSet& faults, PartTally& tally);

  // One bulk write of the PC (result: bytes taken or a negative error).
  int write(const std::uint8_t* bytes, int size);
  // Copies the front of the IN endpoint into `out`; the front must be due.
  int readFront(std::uint8_t* out, int size);
  // Back to idle with nothing pending (plug and pull).
  void resetProtocol();
  // True once when the unit must leave the bus now.
  bool takeLeaveRequest();

  // Reply production, used by CommandContext. `stage` decides which faults may apply.
  // Byte 0 as queued, or -1 when no reply went out (a fault kept it back).
  int sendReply(ReplyBytes reply, ReplyStage stage, const FaultTarget& target,
                std::chrono::nanoseconds delay, std::uint32_t chunk = 0, bool last = false);
  void queueRaw(const ReplyBytes& reply, std::uint32_t length, std::chrono::nanoseconds delay);
  void startReceive(const ReceivedCommand& command, std::uint32_t address,
                    std::uint32_t chunkLength, std::uint32_t count, TransferDone done);
  void startSend(const ReceivedCommand& command, std::uint32_t address, std::uint32_t chunkLength,
                 std::uint32_t count, TransferDone done);
  void startStream(const ReceivedCommand* command, std::uint64_t expectedBytes,
                   std::uint32_t address, TransferDone done);
  void stopStream();
  std::shared_ptr<void>& stateSlot(std::type_index type) { return states_[type]; }

  UnitMemory memory;
  Eeprom eeprom;
  FirmwareInfo firmware;
  TimingModel timing;
  bool discardData = false;
  std::filesystem::path sdCardFolder;
  GangConfig gang;
  PartTally& tally;  // the owning unit's
  RecordKeeper record;
  CommandRegistry registry;
  ReplyQueue replies;
  UnitPhase phase = UnitPhase::Idle;
  bool outHalted = false;
  bool leaveWhenDrained = false;
  // Set with a leave: the unit comes back on the bus after this long (a reset, a restart).
  std::optional<std::chrono::milliseconds> rejoinAfter;
  std::uint64_t lastStreamBytes = 0;

 private:
  WriteKind kindOfWrite(int size) const;
  int writeIdle(const std::uint8_t* bytes, int size);
  int writeChunk(const std::uint8_t* bytes, int size);
  int writePcAck(const std::uint8_t* bytes, int size);
  int writeStream(const std::uint8_t* bytes, int size);
  int writeWhileHung(const std::uint8_t* bytes, int size);
  void dispatch(ReceivedCommand& command);
  bool applyAcceptanceFault(ReceivedCommand& command);
  void beginTransfer(const ReceivedCommand& command, std::uint32_t address,
                     std::uint32_t chunkLength, std::uint32_t count, TransferDone done);
  void queueNextSendChunk();
  void finishTransfer();
  void storeData(std::uint32_t address, const std::uint8_t* bytes, std::uint32_t size);
  std::optional<FaultTarget> peekTarget(const std::uint8_t* bytes, int size) const;
  void hang() { phase = UnitPhase::Hung; }

  FaultSet& faults_;
  Transfer transfer_;
  std::uint64_t commandCounter_ = 0;
  bool leaveNow_ = false;
  std::unordered_map<std::type_index, std::shared_ptr<void>> states_;
};

}  // namespace sim
