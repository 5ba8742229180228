#include "sim/procedure_commands.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "sim/card_run_set.h"
#include "sim/sd_card_commands.h"
#include "sim/timing_model.h"

namespace sim {

namespace {

inline constexpr std::size_t kMaxSteps = 32768;
inline constexpr std::uint16_t kEndOfList = 0xFFFF;
inline constexpr std::uint8_t kNoAddress = 0xA3;
inline constexpr std::uint32_t kDriverSettingsLength = 0x4000;
inline constexpr std::uint8_t kWeakBit = 0x01;
inline constexpr std::uint16_t kOtherDevice = 0x5A5A;
inline constexpr int kSockets = 4;
inline constexpr std::size_t kSocketRecord = 64;

using Clock = std::chrono::steady_clock;

void advance(CommandContext& ctx);

std::vector<std::uint16_t> readProcedureList(CommandContext& ctx) {
  const auto bytes = ctx.memory().readVector(UnitAddress::ProcedureList, 2 * kMaxSteps);
  std::vector<std::uint16_t> steps;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const std::uint16_t code = readLe16(bytes.data() + i);
    if (code == kEndOfList) break;
    steps.push_back(code);
  }
  return steps;
}

ReplyBytes stepReply(std::uint8_t verdict) {
  ReplyBytes reply = makeReply(Ack::Pass);
  for (int k = 0; k < kSockets; ++k) {
    reply[StepReply::InsertOfSocket1 + kSocketRecord * static_cast<std::size_t>(k)] = Ack::Pass;
  }
  reply[StepReply::Verdict] = verdict;
  reply[StepReply::NoErrorAddress] = kNoAddress;
  return reply;
}

void reportAddress(ReplyBytes& reply, std::uint32_t address, std::uint8_t expected,
                   std::uint8_t read) {
  reply[StepReply::Verdict] = Ack::Fail;
  reply[StepReply::NoErrorAddress] = 0;
  writeLe32(reply.data() + StepReply::ErrorAddress, address);
  writeLe32(reply.data() + StepReply::ExpectedData, expected);
  writeLe32(reply.data() + StepReply::ReadData, read);
}

// The chunk in the data buffer, in the state's own buffer; false when it is out of reach.
bool readChunkData(CommandContext& ctx, ProcedureState& st) {
  st.chunkData.resize(st.lastChunkLength);
  return ctx.memory().read(UnitAddress::DataBuffer, st.chunkData);
}

// Program: flash cells only go from 1 to 0, so programming over old data shows in verify.
void programChunk(CommandContext& ctx, ProcedureState& st) {
  std::vector<std::uint8_t>& cells = st.chunkCells;
  cells.resize(st.lastChunkLength);
  if (!readChunkData(ctx, st) || !st.cells->read(st.lastChunkOffset, cells)) return;
  const std::vector<std::uint8_t>& data = st.chunkData;
  for (std::size_t i = 0; i < cells.size(); ++i) cells[i] &= data[i];
  st.cells->write(st.lastChunkOffset, cells);
}

// What reading the part gives: a weak cell of a failing part reads one bit flipped. False
// when the range is outside the part.
bool readCellsInto(const ProcedureState& st, std::uint32_t offset, std::vector<std::uint8_t>& out) {
  if (!st.cells->read(offset, out)) return false;
  const std::uint32_t weak = st.fault.address;
  if (st.fault.kind == PartFault::BadCell && weak >= offset && weak - offset < out.size()) {
    out[weak - offset] ^= kWeakBit;
  }
  return true;
}

std::vector<std::uint8_t> readCells(const ProcedureState& st, std::uint32_t offset,
                                    std::uint32_t length) {
  std::vector<std::uint8_t> cells(length, 0xFF);
  if (!readCellsInto(st, offset, cells)) cells.clear();
  return cells;
}

void verifyChunk(CommandContext& ctx, ProcedureState& st, ReplyBytes& reply) {
  std::vector<std::uint8_t>& cells = st.chunkCells;
  cells.resize(st.lastChunkLength);
  if (!readChunkData(ctx, st) || !readCellsInto(st, st.lastChunkOffset, cells)) return;
  const std::vector<std::uint8_t>& data = st.chunkData;
  // The usual case, all equal, at memcmp's pace; the byte-wise search only finds the place.
  if (data.empty() || std::memcmp(data.data(), cells.data(), data.size()) == 0) return;
  const auto miss = std::mismatch(data.begin(), data.end(), cells.begin(), cells.end());
  if (miss.first == data.end()) return;
  const auto at = static_cast<std::uint32_t>(miss.first - data.begin());
  reportAddress(reply, st.lastChunkOffset + at, *miss.first, *miss.second);
}

void reportId(const VirtualPart& part, bool wrong, ReplyBytes& reply) {
  const std::uint16_t device = wrong ? kOtherDevice : part.deviceCode;
  reply[StepReply::Manufacturer] = static_cast<std::uint8_t>(part.manufacturerCode);
  reply[StepReply::Manufacturer + 1] = static_cast<std::uint8_t>(part.manufacturerCode >> 8);
  reply[StepReply::Device] = static_cast<std::uint8_t>(device);
  reply[StepReply::Device + 1] = static_cast<std::uint8_t>(device >> 8);
  if (wrong || !part.idMatches) reply[StepReply::Verdict] = Ack::Fail;
}

void blankCheck(const ProcedureState& st, ReplyBytes& reply) {
  std::optional<std::uint32_t> at = st.cells->firstNot(0, st.cells->size(), 0xFF);
  if (st.fault.kind == PartFault::BadCell && st.fault.address < st.cells->size()) {
    at = std::min(at.value_or(st.fault.address), st.fault.address);
  }
  if (at) reportAddress(reply, *at, 0xFF, readCells(st, *at, 1)[0]);
}

ReplyBytes runStep(CommandContext& ctx, ProcedureState& st, std::uint16_t code) {
  VirtualPart& part = st.part;
  const PartFault fault = st.fault.kind;
  if (!part.inserted || fault == PartFault::EmptySocket) return stepReply(StepReply::SocketEmpty);
  ReplyBytes reply = stepReply(Ack::Pass);
  if (code == part.overCurrentStep || (fault == PartFault::OverCurrent && code == st.fault.step)) {
    reply[0] = StepReply::OverCurrentVddVio;
    return reply;
  }
  switch (code) {
    case StepCode::IdCheck:
      reportId(part, fault == PartFault::WrongId, reply);
      break;
    case StepCode::ChipErase:
      if (part.protectedCells)
        reply[StepReply::Verdict] = Ack::Fail;
      else
        st.cells->erase();
      break;
    case StepCode::BlankCheck:
      blankCheck(st, reply);
      break;
    case StepCode::Program:
      if (part.protectedCells)
        reply[StepReply::Verdict] = Ack::Fail;
      else
        programChunk(ctx, st);
      break;
    case StepCode::Verify:
      verifyChunk(ctx, st, reply);
      break;
    case StepCode::Protect:
      part.protectedCells = true;
      break;
    case StepCode::UnProtect:
      part.protectedCells = false;
      break;
    default:  // insert detect, bad block scan, confirm and the rest pass
      break;
  }
  return reply;
}

// Moves on to the next data chunk: its length is what is left of the data, at most a chunk.
// Returns the chunk's offset in the data.
std::uint64_t nextDataChunk(ProcedureState& st) {
  const std::uint64_t offset = std::uint64_t{st.chunkIndex} * st.chunkLength;
  const std::uint64_t left = st.dataLength > offset ? st.dataLength - offset : 0;
  st.lastChunkOffset = static_cast<std::uint32_t>(offset);
  st.lastChunkLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, st.chunkLength));
  ++st.chunkIndex;
  return offset;
}

// Waits for the next data chunk from the PC.
void awaitDataChunk(CommandContext& ctx, ProcedureState& st) {
  nextDataChunk(st);
  ctx.receiveStream(std::max<std::uint32_t>(st.lastChunkLength, 1), UnitAddress::DataBuffer,
                    [](CommandContext& done) {
                      done.state<ProcedureState>().due = Clock::now();
                      advance(done);
                    });
}

// A stand-alone run's data chunk: the card's data image piece into the data buffer; the step
// is answered like any other.
ReplyBytes loadCardChunk(CommandContext& ctx, ProcedureState& st) {
  const std::uint64_t offset = nextDataChunk(st);
  std::vector<std::uint8_t> piece(st.lastChunkLength, 0xFF);
  std::ifstream in(st.cardData, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
  ctx.memory().write(UnitAddress::DataBuffer, piece);
  return stepReply(Ack::Pass);
}

// What a step touches: erase, blank check and read the whole part, program and verify the
// chunk they work on.
std::uint64_t stepBytes(const ProcedureState& st, std::uint16_t code) {
  if (code == StepCode::Program || code == StepCode::Verify) return st.lastChunkLength;
  return st.partBytes;
}

void endRun(CommandContext& ctx, ProcedureState& st, bool good) {
  st.running = false;
  if (good) ++st.passedRuns;
  ctx.countPart(good);
}

// Runs steps until the next data chunk or the end; a step that does not pass ends the run.
void advance(CommandContext& ctx) {
  auto& st = ctx.state<ProcedureState>();
  while (st.running && st.next < st.steps.size()) {
    const std::size_t i = st.next++;
    const std::uint16_t code = st.steps[i];
    if (code == StepCode::DataChunk && st.cardData.empty()) return awaitDataChunk(ctx, st);
    // Verify right after Program streams the data again from its start.
    if (code == StepCode::Program && i + 2 < st.steps.size() &&
        st.steps[i + 2] == StepCode::Verify) {
      st.chunkIndex = 0;
    }
    const bool fromCard = code == StepCode::DataChunk;
    const ReplyBytes reply = fromCard ? loadCardChunk(ctx, st) : runStep(ctx, st, code);
    const auto now = Clock::now();
    const auto took = fromCard ? ctx.timing().sdTime(Code::SdReadData, st.lastChunkLength)
                               : ctx.timing().stepTime(code, st.kind, stepBytes(st, code));
    st.due = std::max(st.due, now) +
             std::chrono::duration_cast<Clock::duration>(ctx.timing().realTime(took));
    const auto delay = std::chrono::duration_cast<std::chrono::nanoseconds>(st.due - now);
    const int sent = ctx.send(reply, ReplyStage::Completion, delay, code);
    if (sent != Ack::Pass || reply[StepReply::Verdict] != Ack::Pass) return endRun(ctx, st, false);
  }
  if (st.running) endRun(ctx, st, true);
}

// Sets up a run of `st.steps` over `st.dataLength` bytes and draws how its part fails.
void beginRun(CommandContext& ctx, ProcedureState& st) {
  if (ctx.gang().fixedPartKind) st.kind = ctx.gang().partKind;
  st.chunkLength = std::max<std::uint32_t>(st.dataChunkLength, 1);
  st.chunkIndex = 0;
  st.next = 0;
  st.running = true;
  st.due = Clock::now();
  ++st.runs;
  const std::uint32_t cellBytes = std::max<std::uint32_t>(st.dataLength, 1);
  if (!st.cells || st.cells->size() != cellBytes)
    st.cells = std::make_unique<UnitMemory>(0, cellBytes);
  const FailRateOptions& failRate = ctx.gang().failRate;
  if (failRate.rate > 0 && !st.failDraw) st.failDraw.emplace(failRate, ctx.gang().seat);
  st.fault = st.failDraw ? st.failDraw->next(st.steps, cellBytes) : RunFault{};
  if (st.hand) st.hand->worked();
}

void merge(CommandContext& ctx) {
  auto& st = ctx.state<ProcedureState>();
  st.steps = readProcedureList(ctx);
  st.dataLength = ctx.block().p(7);
  const std::uint64_t areas = std::uint64_t{ctx.block().p(4)} + ctx.block().p(5);
  st.partBytes = areas != 0 ? areas : st.dataLength;
  st.cardData.clear();
  beginRun(ctx, st);
  ctx.accept();
  advance(ctx);
}

// A set the unit cannot start from answers its first step with the refusal code.
void refuseCardRun(CommandContext& ctx, std::uint8_t refusal) {
  ReplyBytes reply = makeReply(refusal);
  reply[StepReply::Verdict] = Ack::Fail;
  ctx.accept();
  ctx.send(reply, ReplyStage::Completion, std::chrono::nanoseconds{0});
  ctx.countPart(false);
}

// Whether a card sits in the slot.
bool cardPresent(CommandContext& ctx) {
  std::error_code ec;
  return !ctx.sdCardFolder().empty() && !ctx.state<SdCardState>().missing &&
         std::filesystem::is_directory(ctx.sdCardFolder(), ec);
}

// The stand-alone run: the card's run project instead of what the PC left in memory.
void sdRun(CommandContext& ctx) {
  auto& st = ctx.state<ProcedureState>();
  if (!cardPresent(ctx)) return refuseCardRun(ctx, CardRunRefusal::List);
  CardRunSet set = readCardRunSet(ctx.sdCardFolder(), st.dataChunkLength);
  if (set.refusal != CardRunRefusal::None) return refuseCardRun(ctx, set.refusal);
  if (!ctx.gang().fixedPartKind) st.kind = partKindFromDriverSettings(set.driverSettings);
  st.steps = std::move(set.steps);
  st.dataLength = set.dataLength;
  st.partBytes = set.dataLength;
  st.cardData = set.dataImage;
  beginRun(ctx, st);
  ctx.accept();
  advance(ctx);
}

// The card's automatic mode: ready when a card is there.
void sdAutoRunInit(CommandContext& ctx) {
  ctx.complete(cardPresent(ctx) ? Ack::Pass : Ack::Fail);
}

// Whether a part sits in the socket now. With the operator on, looking is what moves the
// operator's hand; a part it puts in is new, blank and whole.
bool lookIntoSocket(CommandContext& ctx, ProcedureState& st) {
  const OperatorOptions& hand = ctx.gang().hand;
  if (!hand.enabled) return st.part.inserted;
  if (!st.hand) st.hand.emplace(hand, ctx.gang().seat);
  const SocketHand::Look look = st.hand->look(Clock::now(), ctx.timing());
  if (look.newPart) {
    st.part.inserted = true;
    st.part.protectedCells = false;
    if (st.cells) st.cells->erase();
  }
  return look.present;
}

// The standalone insertion detection: a step reply whose verdict is 0xA0 with a part in the
// socket and 0xA5 without (result 0xA1), the selected sockets marked where a part sits.
void insertDetect(CommandContext& ctx) {
  auto& st = ctx.state<ProcedureState>();
  const bool present = lookIntoSocket(ctx, st);
  ReplyBytes reply = stepReply(present ? Ack::Pass : StepReply::SocketEmpty);
  reply[0] = present ? Ack::Pass : Ack::Fail;
  const DecodedBlock& block = ctx.block();
  for (int k = 0; k < kSockets; ++k) {
    const auto socket = static_cast<std::size_t>(k);
    const bool selected = !block.hasByteQuad || block.byteQuad[socket] == Ack::Pass;
    reply[StepReply::InsertOfSocket1 + kSocketRecord * socket] =
        present && selected ? Ack::Pass : StepReply::SocketNotUsed;
  }
  ctx.complete(reply);
}

}  // namespace

void installProcedureCommands(CommandRegistry& registry) {
  registry.addFrame(FrameType::Merge, merge);
  registry.addFrame(FrameType::SdRunStart, sdRun);
  registry.add(Code::SdAutoRunInit, sdAutoRunInit);
  registry.add(Code::InsertDetect, insertDetect);
}

void learnPartKind(CommandContext& ctx) {
  if (ctx.gang().fixedPartKind) return;
  const auto image = ctx.memory().readVector(UnitAddress::SettingsImage, kDriverSettingsLength);
  ctx.state<ProcedureState>().kind = partKindFromDriverSettings(image);
}

}  // namespace sim
