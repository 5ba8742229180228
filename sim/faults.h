#pragma once
// Faults a test arms on one unit. Each is aimed at every command, at one command code or at
// the n-th command block the unit receives (counted from 1 since the unit was made), and
// fires once unless `repeat` says otherwise.
#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

namespace sim {

// Which reply of a command a reply fault replaces.
enum class ReplyStage {
  Acceptance,  // the first reply, read by the PC's command sender
  Completion,  // the later result of a command that completes
  ChunkAck,    // the 512-byte acknowledgement of a data chunk (transfers and the data stream)
};

enum class FaultKind {
  ReplyByte,         // answer `value` as byte 0 at `stage` (0xA1 refuses or fails, 0x5A is garbage)
  ShortReply,        // answer only `count` bytes (fewer than 512) at `stage`
  NeverAnswer,       // no reply at `stage`, and none to anything after, until the unit is pulled
  LeaveBus,          // leave the bus instead of answering at `stage`
  LeaveAfterChunks,  // leave the bus after `count` chunks of the aimed transfer were acknowledged
  FailWrites,        // the next `count` bulk writes fail with -5 (aimed: the write of that command)
};

inline constexpr std::uint32_t kAnyChunk = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::uint32_t kLastChunk = kAnyChunk - 1;

struct Fault {
  FaultKind kind = FaultKind::ReplyByte;
  ReplyStage stage = ReplyStage::Completion;
  std::optional<std::uint16_t> code;  // aim: only this command code (0xB14E also aims at streams)
  std::optional<std::uint64_t> nth;   // aim: only the n-th command block
  std::uint32_t chunk = kAnyChunk;    // ChunkAck faults: the chunk index (0-based) or kLastChunk
  std::uint8_t value = 0xA1;
  std::uint32_t count = 1;
  std::uint32_t repeat = 1;  // how many times it fires; 0 = every time

  Fault& onCode(std::uint16_t c) {
    code = c;
    return *this;
  }
  Fault& atCommand(std::uint64_t n) {
    nth = n;
    return *this;
  }
  Fault& atChunk(std::uint32_t index) {
    chunk = index;
    return *this;
  }
  Fault& times(std::uint32_t n) {
    repeat = n;
    return *this;
  }

  // The usual faults by name.
  static Fault refuse() { return reply(ReplyStage::Acceptance, 0xA1); }
  static Fault fail() { return reply(ReplyStage::Completion, 0xA1); }
  static Fault garbage(std::uint8_t byte = 0x5A, ReplyStage at = ReplyStage::Completion) {
    return reply(at, byte);
  }
  static Fault failChunkAck(std::uint32_t index = kAnyChunk, std::uint8_t byte = 0xA1) {
    Fault f = reply(ReplyStage::ChunkAck, byte);
    f.chunk = index;
    return f;
  }
  static Fault neverAnswer(ReplyStage at = ReplyStage::Completion) {
    return make(FaultKind::NeverAnswer, at);
  }
  static Fault leaveBus(ReplyStage at = ReplyStage::Completion) {
    return make(FaultKind::LeaveBus, at);
  }
  static Fault leaveAfterChunks(std::uint32_t k) {
    Fault f = make(FaultKind::LeaveAfterChunks, ReplyStage::ChunkAck);
    f.count = k;
    return f;
  }
  static Fault failWrites(std::uint32_t n = 1) {
    Fault f = make(FaultKind::FailWrites, ReplyStage::Acceptance);
    f.count = n;
    return f;
  }
  static Fault shortReply(std::uint32_t bytes = 100, ReplyStage at = ReplyStage::Completion) {
    Fault f = make(FaultKind::ShortReply, at);
    f.count = bytes;
    return f;
  }

 private:
  static Fault make(FaultKind k, ReplyStage s) {
    Fault f;
    f.kind = k;
    f.stage = s;
    return f;
  }
  static Fault reply(ReplyStage s, std::uint8_t byte) {
    Fault f = make(FaultKind::ReplyByte, s);
    f.value = byte;
    return f;
  }
};

// What a fault is matched against.
struct FaultTarget {
  std::uint16_t code = 0;  // 0xB14E for a data stream
  std::uint64_t nth = 0;   // 0 for a data stream (only unaimed or code-aimed faults match)
};

// The armed faults of one unit. Thread-safe.
class FaultSet {
 public:
  void arm(const Fault& fault);
  void clear();
  std::size_t armedCount() const;

  // The first armed reply fault (ReplyByte, ShortReply, NeverAnswer, LeaveBus) for this reply;
  // firing consumes one of its repeats. For ChunkAck, `chunk` and `last` select the chunk.
  std::optional<Fault> takeReplyFault(ReplyStage stage, const FaultTarget& target,
                                      std::uint32_t chunk = 0, bool last = false);
  // A LeaveAfterChunks fault aimed at this transfer, if any (consumed).
  std::optional<std::uint32_t> takeLeaveAfterChunks(const FaultTarget& target);
  // True when this write must fail. `target` is the decoded command of the block being
  // written, or none for a data write; aimed write faults only hit their command's block.
  bool takeWriteFailure(const std::optional<FaultTarget>& target);

 private:
  static bool aimMatches(const Fault& f, const FaultTarget& t);
  void consume(std::size_t index);

  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
};

}  // namespace sim
