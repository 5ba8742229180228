#pragma once
// The unit's IN endpoint: what the unit has queued for the PC to read, in order. An entry is
// either a reply (up to 512 bytes, held inline) or a chunk of unit memory that is copied out
// only when the PC reads it. A ring that grows only when it is full, so steady traffic does
// not allocate. Not thread-safe by itself.
#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "sim/command_block.h"

namespace sim {

struct InEntry {
  enum class Kind { Reply, MemoryChunk };
  Kind kind = Kind::Reply;
  std::uint32_t length = 0;    // bytes in the entry
  std::uint32_t consumed = 0;  // bytes the PC has read already
  std::array<std::uint8_t, kReplySize> reply{};
  std::uint32_t address = 0;                    // MemoryChunk: where its bytes are
  std::chrono::steady_clock::time_point due{};  // not readable before (timing model)
};

class ReplyQueue {
 public:
  ReplyQueue() : ring_(16) {}

  bool empty() const { return count_ == 0; }
  std::size_t size() const { return count_; }
  InEntry& front() { return ring_[head_]; }
  // A slot at the back, to be filled by the caller.
  InEntry& pushBack();
  void popFront();
  void clear();

 private:
  std::vector<InEntry> ring_;
  std::size_t head_ = 0;
  std::size_t count_ = 0;
};

}  // namespace sim
