#include "sim/unit_record.h"

#include <algorithm>

namespace sim {

namespace {

// Ring contents in arrival order.
template <class T>
std::vector<T> inOrder(const std::vector<T>& ring, std::size_t head, std::size_t limit) {
  if (ring.size() < limit) return ring;
  std::vector<T> out;
  out.reserve(ring.size());
  out.insert(out.end(), ring.begin() + static_cast<std::ptrdiff_t>(head), ring.end());
  out.insert(out.end(), ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(head));
  return out;
}

}  // namespace

std::vector<std::uint16_t> UnitRecord::codes() const {
  std::vector<std::uint16_t> out;
  for (const auto& c : commands) out.push_back(c.code());
  return out;
}

std::vector<ReceivedCommand> UnitRecord::commandsWithCode(std::uint16_t code) const {
  std::vector<ReceivedCommand> out;
  std::copy_if(commands.begin(), commands.end(), std::back_inserter(out),
               [code](const ReceivedCommand& c) { return c.code() == code; });
  return out;
}

RecordKeeper::RecordKeeper(std::size_t limit) : limit_(std::max<std::size_t>(limit, 1)) {
  record_.writes.reserve(std::min<std::size_t>(limit_, 1024));
}

void RecordKeeper::addCommand(ReceivedCommand command) {
  ++record_.commandCount;
  if (record_.commands.size() < limit_) {
    record_.commands.push_back(std::move(command));
    return;
  }
  record_.commands[commandHead_] = std::move(command);
  commandHead_ = (commandHead_ + 1) % limit_;
}

void RecordKeeper::addWrite(WriteKind kind, const std::uint8_t* bytes, std::uint32_t size,
                            int result, std::uint32_t address) {
  ++record_.writeCount;
  if (result < 0) {
    ++record_.failedWriteCount;
  } else {
    record_.bytesWritten += static_cast<std::uint64_t>(result);
  }
  WriteRecord* slot = nullptr;
  if (record_.writes.size() < limit_) {
    slot = &record_.writes.emplace_back();
  } else {
    slot = &record_.writes[writeHead_];
    writeHead_ = (writeHead_ + 1) % limit_;
  }
  slot->kind = kind;
  slot->size = size;
  slot->result = result;
  slot->address = address;
  // assign() reuses the slot's capacity, so a warm ring does not allocate.
  if (size <= kBlockSize && bytes != nullptr) {
    slot->bytes.assign(bytes, bytes + size);
  } else {
    slot->bytes.clear();
  }
}

void RecordKeeper::addProtocolError(std::string text) {
  if (record_.protocolErrors.size() < limit_) record_.protocolErrors.push_back(std::move(text));
}

UnitRecord RecordKeeper::snapshot() const {
  UnitRecord out = record_;
  out.commands = inOrder(record_.commands, commandHead_, limit_);
  out.writes = inOrder(record_.writes, writeHead_, limit_);
  return out;
}

void RecordKeeper::clear() {
  record_ = UnitRecord{};
  commandHead_ = 0;
  writeHead_ = 0;
}

}  // namespace sim
