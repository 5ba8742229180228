#pragma once
// What a unit received, for tests to assert on: every decoded command and every bulk write
// (failed ones included), plus counters of the recovery calls. Bounded: the oldest entries
// are dropped beyond the limit, the counters keep counting.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/command_block.h"

namespace sim {

enum class WriteKind {
  Command,     // a command block
  Chunk,       // a chunk of an announced transfer (PC to unit)
  Stream,      // a raw chunk of the data stream
  PcAck,       // the PC's 1024-byte acknowledgement of a chunk the unit sent
  Unexpected,  // bytes the unit could not place (wrong size, unknown state)
};

struct WriteRecord {
  WriteKind kind = WriteKind::Command;
  std::uint32_t size = 0;
  int result = 0;             // what bulk_write returned (size, or a negative error)
  std::uint32_t address = 0;  // unit memory address for Chunk and Stream
  // The bytes of writes up to 1024 bytes (command blocks, PC acknowledgements, small
  // chunks); larger chunks are left in unit memory only.
  std::vector<std::uint8_t> bytes;
  bool failed() const { return result < 0; }
};

struct ReceivedCommand {
  std::uint64_t index = 0;  // 1 for the first block the unit received
  DecodedBlock block;
  bool known = false;    // a handler was registered for it
  bool refused = false;  // acceptance byte was not 0xA0 (unknown, malformed or a fault)
  std::uint16_t code() const { return block.codes.empty() ? 0 : block.codes.front(); }
};

struct UnitRecord {
  std::vector<ReceivedCommand> commands;
  std::vector<WriteRecord> writes;
  std::uint64_t commandCount = 0;  // every command block ever decoded
  std::uint64_t writeCount = 0;    // every bulk_write call, failed ones included
  std::uint64_t failedWriteCount = 0;
  std::uint64_t bytesWritten = 0;  // by successful writes
  std::uint64_t repliesSent = 0;   // replies and chunks the PC read
  std::uint32_t clearHaltCalls = 0;
  std::uint32_t resetEndpointCalls = 0;
  std::uint32_t resetCalls = 0;
  std::vector<std::string> protocolErrors;  // what the firmware found wrong, in order

  // Codes of the recorded commands in order (0 for code-less frames).
  std::vector<std::uint16_t> codes() const;
  // Recorded commands with this code.
  std::vector<ReceivedCommand> commandsWithCode(std::uint16_t code) const;
};

// The growing record inside a unit; not thread-safe by itself (the unit's lock guards it).
class RecordKeeper {
 public:
  explicit RecordKeeper(std::size_t limit = 4096);

  void addCommand(ReceivedCommand command);
  // `bytes` are kept when the write is at most 1024 bytes long. No allocation once the ring
  // has been filled.
  void addWrite(WriteKind kind, const std::uint8_t* bytes, std::uint32_t size, int result,
                std::uint32_t address);
  void addProtocolError(std::string text);
  UnitRecord& counters() { return record_; }

  UnitRecord snapshot() const;
  void clear();

 private:
  std::size_t limit_;
  UnitRecord record_;  // commands and writes here are rings of at most `limit_`
  std::size_t commandHead_ = 0;
  std::size_t writeHead_ = 0;
};

}  // namespace sim
