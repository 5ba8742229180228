#include "sim/unit_core.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string hex(std::uint32_t v) {
  std::string s = "0x";
  bool started = false;
  for (int shift = 28; shift >= 0; shift -= 4) {
    const unsigned d = (v >> shift) & 0xF;
    if (d != 0 || started || shift == 0) {
      s.push_back(kHexDigits[d]);
      started = true;
    }
  }
  return s;
}

FaultTarget targetOf(const ReceivedCommand& command) {
  return FaultTarget{command.code(), command.index};
}

const FaultTarget kStreamTarget{Code::BulkOut, 0};

}  // namespace

UnitCore::UnitCore(const UnitConfig& config, FaultSet& faults, PartTally& unitTally)
    : firmware(config.firmware),
      timing(config.timing),
      discardData(config.discardData),
      sdCardFolder(config.sdCardFolder),
      gang(config.gang),
      tally(unitTally),
      record(config.recordLimit),
      faults_(faults) {
  if (!config.blankEeprom) {
    eeprom.setSerialText(config.serialText);
    eeprom.setDateTimeId(config.dateTimeId);
  }
}

void UnitCore::resetProtocol() {
  phase = UnitPhase::Idle;
  replies.clear();
  outHalted = false;
  leaveWhenDrained = false;
  rejoinAfter.reset();
  leaveNow_ = false;
  transfer_ = Transfer{};
}

bool UnitCore::takeLeaveRequest() {
  if (leaveWhenDrained && replies.empty()) {
    leaveWhenDrained = false;
    leaveNow_ = true;
  }
  const bool leave = leaveNow_;
  leaveNow_ = false;
  return leave;
}

std::optional<FaultTarget> UnitCore::peekTarget(const std::uint8_t* bytes, int size) const {
  if (phase != UnitPhase::Idle || size != static_cast<int>(kBlockSize)) return std::nullopt;
  const std::uint8_t count = bytes[3];
  const std::uint16_t code = count == 0 ? 0 : readLe16(bytes + BlockOffset::CodeList);
  return FaultTarget{code, commandCounter_ + 1};
}

int UnitCore::write(const std::uint8_t* bytes, int size) {
  if (size < 0) return -22;
  const auto usize = static_cast<std::uint32_t>(size);
  if (outHalted || faults_.takeWriteFailure(peekTarget(bytes, size))) {
    // A failed write delivers nothing; the endpoint stays stalled until a recovery call.
    outHalted = true;
    record.addWrite(kindOfWrite(size), bytes, usize, -5, 0);
    return -5;
  }
  switch (phase) {
    case UnitPhase::Idle:
      return writeIdle(bytes, size);
    case UnitPhase::ReceivingChunks:
      return writeChunk(bytes, size);
    case UnitPhase::SendingChunks:
      return writePcAck(bytes, size);
    case UnitPhase::DataStream:
      return writeStream(bytes, size);
    case UnitPhase::Hung:
      return writeWhileHung(bytes, size);
  }
  return size;
}

WriteKind UnitCore::kindOfWrite(int size) const {
  switch (phase) {
    case UnitPhase::ReceivingChunks:
      return WriteKind::Chunk;
    case UnitPhase::SendingChunks:
      return WriteKind::PcAck;
    case UnitPhase::DataStream:
      return WriteKind::Stream;
    default:
      return size == static_cast<int>(kBlockSize) ? WriteKind::Command : WriteKind::Unexpected;
  }
}

int UnitCore::writeWhileHung(const std::uint8_t* bytes, int size) {
  const auto usize = static_cast<std::uint32_t>(size);
  const bool block = usize == kBlockSize;
  record.addWrite(block ? WriteKind::Command : WriteKind::Unexpected, bytes, usize, size, 0);
  if (block) {
    DecodeResult decoded = decodeCommandBlock({bytes, usize});
    ReceivedCommand command{++commandCounter_, std::move(decoded.block), false, false};
    record.addCommand(std::move(command));
  }
  return size;
}

int UnitCore::writeIdle(const std::uint8_t* bytes, int size) {
  const auto usize = static_cast<std::uint32_t>(size);
  if (usize != kBlockSize) {
    record.addWrite(WriteKind::Unexpected, bytes, usize, size, 0);
    record.addProtocolError("unexpected write of " + std::to_string(size) + " bytes while idle");
    queueRaw(makeReply(Ack::Fail), kReplySize, {});
    return size;
  }
  record.addWrite(WriteKind::Command, bytes, usize, size, 0);
  DecodeResult decoded = decodeCommandBlock({bytes, usize});
  ReceivedCommand command{++commandCounter_, std::move(decoded.block), false, false};
  if (!decoded.ok()) {
    command.refused = true;
    record.addProtocolError("command block announces " + std::to_string(command.block.codeCount) +
                            " codes");
    queueRaw(makeReply(Ack::Fail), kReplySize, {});
  } else {
    dispatch(command);
  }
  record.addCommand(std::move(command));
  return size;
}

bool UnitCore::applyAcceptanceFault(ReceivedCommand& command) {
  auto fault = faults_.takeReplyFault(ReplyStage::Acceptance, targetOf(command));
  if (!fault) return false;
  command.refused = true;
  ReplyBytes reply = makeReply(Ack::Pass);
  switch (fault->kind) {
    case FaultKind::ReplyByte:
      reply[0] = fault->value;
      queueRaw(reply, kReplySize, {});
      break;
    case FaultKind::ShortReply:
      queueRaw(reply, std::min<std::uint32_t>(fault->count, kReplySize - 1), {});
      break;
    case FaultKind::NeverAnswer:
      hang();
      break;
    default:  // LeaveBus
      leaveNow_ = true;
      break;
  }
  return true;
}

void UnitCore::dispatch(ReceivedCommand& command) {
  const bool silent = frameGetsNoReply(command.block.frameType);
  if (!silent && applyAcceptanceFault(command)) return;
  const CommandHandler* handler = registry.find(command.block);
  command.known = handler != nullptr;
  if (!handler) {
    command.refused = true;
    if (!silent) queueRaw(makeReply(Ack::Fail), kReplySize, {});
    return;
  }
  CommandContext context(*this, command, false);
  (*handler)(context);
  if (!context.acceptanceSent()) context.accept();
}

void UnitCore::queueRaw(const ReplyBytes& reply, std::uint32_t length,
                        std::chrono::nanoseconds delay) {
  if (phase == UnitPhase::Hung || leaveNow_) return;
  InEntry& entry = replies.pushBack();
  entry.kind = InEntry::Kind::Reply;
  entry.reply = reply;
  entry.length = length;
  entry.due = Clock::now() + delay;
}

int UnitCore::sendReply(ReplyBytes reply, ReplyStage stage, const FaultTarget& target,
                        std::chrono::nanoseconds delay, std::uint32_t chunk, bool last) {
  auto fault = faults_.takeReplyFault(stage, target, chunk, last);
  std::uint32_t length = kReplySize;
  if (fault) {
    switch (fault->kind) {
      case FaultKind::ReplyByte:
        reply[0] = fault->value;
        break;
      case FaultKind::ShortReply:
        length = std::min<std::uint32_t>(fault->count, kReplySize - 1);
        break;
      case FaultKind::NeverAnswer:
        hang();
        return -1;
      default:  // LeaveBus: gone once the PC has read what came before, awaiting this
        leaveWhenDrained = true;
        return -1;
    }
  }
  if (phase == UnitPhase::Hung || leaveNow_) return -1;
  queueRaw(reply, length, delay);
  return length == kReplySize ? reply[0] : -1;
}

void UnitCore::storeData(std::uint32_t address, const std::uint8_t* bytes, std::uint32_t size) {
  if (discardData) return;
  memory.write(address, {bytes, size});
}

// The state both directions of an announced transfer start from.
void UnitCore::beginTransfer(const ReceivedCommand& command, std::uint32_t address,
                             std::uint32_t chunkLength, std::uint32_t count, TransferDone done) {
  transfer_ = Transfer{};
  transfer_.address = address;
  transfer_.chunkLength = chunkLength;
  transfer_.count = count;
  transfer_.target = targetOf(command);
  transfer_.command = command;
  transfer_.onDone = std::move(done);
  transfer_.leaveAfter = faults_.takeLeaveAfterChunks(transfer_.target);
}

void UnitCore::startReceive(const ReceivedCommand& command, std::uint32_t address,
                            std::uint32_t chunkLength, std::uint32_t count, TransferDone done) {
  beginTransfer(command, address, chunkLength, count, std::move(done));
  phase = UnitPhase::ReceivingChunks;
  if (transfer_.leaveAfter == 0u) leaveWhenDrained = true;
}

int UnitCore::writeChunk(const std::uint8_t* bytes, int size) {
  const auto usize = static_cast<std::uint32_t>(size);
  const std::uint32_t address = transfer_.address + transfer_.done * transfer_.chunkLength;
  if (usize != transfer_.chunkLength) {
    record.addWrite(WriteKind::Unexpected, bytes, usize, size, address);
    record.addProtocolError("chunk of " + std::to_string(size) + " bytes, announced " +
                            std::to_string(transfer_.chunkLength));
    queueRaw(makeReply(Ack::Fail), kReplySize, {});
    phase = UnitPhase::Idle;
    return size;
  }
  storeData(address, bytes, usize);
  record.addWrite(WriteKind::Chunk, bytes, usize, size, address);
  const std::uint32_t index = transfer_.done++;
  const bool last = transfer_.done == transfer_.count;
  sendReply(makeReply(Ack::Pass), ReplyStage::ChunkAck, transfer_.target, {}, index, last);
  if (transfer_.leaveAfter && transfer_.done == *transfer_.leaveAfter) leaveWhenDrained = true;
  if (last) finishTransfer();
  return size;
}

void UnitCore::startSend(const ReceivedCommand& command, std::uint32_t address,
                         std::uint32_t chunkLength, std::uint32_t count, TransferDone done) {
  beginTransfer(command, address, chunkLength, count, std::move(done));
  phase = UnitPhase::SendingChunks;
  if (transfer_.leaveAfter == 0u) {
    leaveWhenDrained = true;
    return;
  }
  queueNextSendChunk();
}

void UnitCore::queueNextSendChunk() {
  const std::uint32_t index = transfer_.done;
  const bool last = index + 1 == transfer_.count;
  std::uint32_t length = transfer_.chunkLength;
  auto fault = faults_.takeReplyFault(ReplyStage::ChunkAck, transfer_.target, index, last);
  if (fault && fault->kind == FaultKind::NeverAnswer) return hang();
  if (fault && fault->kind == FaultKind::LeaveBus) {
    leaveNow_ = true;
    return;
  }
  if (fault && fault->kind == FaultKind::ShortReply) length = std::min(length, fault->count);
  if (phase == UnitPhase::Hung || leaveNow_) return;
  InEntry& entry = replies.pushBack();
  entry.kind = InEntry::Kind::MemoryChunk;
  entry.address = transfer_.address + index * transfer_.chunkLength;
  entry.length = length;
  entry.due = Clock::now();
}

int UnitCore::writePcAck(const std::uint8_t* bytes, int size) {
  const auto usize = static_cast<std::uint32_t>(size);
  if (usize != kBlockSize || bytes[0] != Ack::Pass) {
    record.addWrite(WriteKind::Unexpected, bytes, usize, size, 0);
    record.addProtocolError(usize != kBlockSize
                                ? "acknowledgement of " + std::to_string(size) + " bytes"
                                : "acknowledgement byte " + hex(bytes[0]) + " ends the transfer");
    phase = UnitPhase::Idle;
    return size;
  }
  record.addWrite(WriteKind::PcAck, bytes, usize, size, 0);
  ++transfer_.done;
  if (transfer_.leaveAfter && transfer_.done == *transfer_.leaveAfter) {
    leaveNow_ = true;
    return size;
  }
  if (transfer_.done == transfer_.count) {
    finishTransfer();
  } else {
    queueNextSendChunk();
  }
  return size;
}

void UnitCore::startStream(const ReceivedCommand* command, std::uint64_t expectedBytes,
                           std::uint32_t address, TransferDone done) {
  transfer_ = Transfer{};
  transfer_.address = address;
  transfer_.expectedBytes = expectedBytes;
  const std::uint64_t room =
      memory.contains(address, 0) ? memory.base() + std::uint64_t{memory.size()} - address : 0;
  transfer_.ringSize =
      static_cast<std::uint32_t>(std::min<std::uint64_t>(UnitAddress::DataBufferSize, room));
  transfer_.target = kStreamTarget;
  if (command) transfer_.command = *command;
  transfer_.onDone = std::move(done);
  transfer_.leaveAfter = faults_.takeLeaveAfterChunks(kStreamTarget);
  phase = UnitPhase::DataStream;
  lastStreamBytes = 0;
  if (transfer_.leaveAfter == 0u) leaveWhenDrained = true;
}

void UnitCore::stopStream() {
  if (phase == UnitPhase::DataStream) phase = UnitPhase::Idle;
}

int UnitCore::writeStream(const std::uint8_t* bytes, int size) {
  const auto usize = static_cast<std::uint32_t>(size);
  const std::uint32_t ring = transfer_.ringSize;
  std::uint32_t offset = ring == 0 ? 0 : static_cast<std::uint32_t>(transfer_.received % ring);
  const std::uint32_t address = transfer_.address + offset;
  // Stored in the ring (two copies when a chunk straddles its end).
  std::uint32_t stored = 0;
  while (ring != 0 && stored < usize) {
    const std::uint32_t n = std::min(usize - stored, ring - offset);
    storeData(transfer_.address + offset, bytes + stored, n);
    stored += n;
    offset = (offset + n) % ring;
  }
  record.addWrite(WriteKind::Stream, bytes, usize, size, address);
  transfer_.received += usize;
  lastStreamBytes = transfer_.received;
  const std::uint32_t index = transfer_.done++;
  const bool last = transfer_.expectedBytes != 0 && transfer_.received >= transfer_.expectedBytes;
  sendReply(makeReply(Ack::Pass), ReplyStage::ChunkAck, kStreamTarget, {}, index, last);
  if (transfer_.leaveAfter && transfer_.done == *transfer_.leaveAfter) leaveWhenDrained = true;
  if (last) finishTransfer();
  return size;
}

void UnitCore::finishTransfer() {
  phase = phase == UnitPhase::Hung ? UnitPhase::Hung : UnitPhase::Idle;
  TransferDone done = std::move(transfer_.onDone);
  ReceivedCommand command = std::move(transfer_.command);
  transfer_ = Transfer{};
  if (done && phase != UnitPhase::Hung) {
    CommandContext context(*this, command, true);
    done(context);
  }
}

int UnitCore::readFront(std::uint8_t* out, int size) {
  InEntry& entry = replies.front();
  const std::uint32_t left = entry.length - entry.consumed;
  const std::uint32_t n = std::min<std::uint32_t>(left, static_cast<std::uint32_t>(size));
  if (entry.kind == InEntry::Kind::Reply) {
    std::memcpy(out, entry.reply.data() + entry.consumed, n);
  } else if (!memory.read(entry.address + entry.consumed, {out, n})) {
    std::memset(out, 0xFF, n);
  }
  entry.consumed += n;
  if (entry.consumed >= entry.length) {
    replies.popFront();
    ++record.counters().repliesSent;
  }
  return static_cast<int>(n);
}

}  // namespace sim
