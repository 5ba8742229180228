#include "sim/procedure_commands.h"

#include <algorithm>

#include "sim/timing_model.h"

namespace sim {

namespace {

inline constexpr std::size_t kMaxSteps = 32768;
inline constexpr std::uint16_t kEndOfList = 0xFFFF;
inline constexpr std::uint8_t kOverCurrentVddVio = 0xA3;
inline constexpr std::uint8_t kNoAddress = 0xA3;
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

// Program: flash cells only go from 1 to 0, so programming over old data shows in verify.
void programChunk(CommandContext& ctx, ProcedureState& st) {
  const auto data = ctx.memory().readVector(UnitAddress::DataBuffer, st.lastChunkLength);
  auto cells = st.cells->readVector(st.lastChunkOffset, st.lastChunkLength);
  if (cells.size() != data.size()) return;
  for (std::size_t i = 0; i < cells.size(); ++i) cells[i] &= data[i];
  st.cells->write(st.lastChunkOffset, cells);
}

void verifyChunk(CommandContext& ctx, ProcedureState& st, ReplyBytes& reply) {
  const auto data = ctx.memory().readVector(UnitAddress::DataBuffer, st.lastChunkLength);
  const auto cells = st.cells->readVector(st.lastChunkOffset, st.lastChunkLength);
  const auto miss = std::mismatch(data.begin(), data.end(), cells.begin(), cells.end());
  if (miss.first == data.end()) return;
  const auto at = static_cast<std::uint32_t>(miss.first - data.begin());
  reportAddress(reply, st.lastChunkOffset + at, *miss.first, *miss.second);
}

ReplyBytes runStep(CommandContext& ctx, ProcedureState& st, std::uint16_t code) {
  VirtualPart& part = st.part;
  if (!part.inserted) return stepReply(StepReply::SocketEmpty);
  ReplyBytes reply = stepReply(Ack::Pass);
  if (code == part.overCurrentStep) {
    reply[0] = kOverCurrentVddVio;
    return reply;
  }
  switch (code) {
    case StepCode::IdCheck:
      reply[StepReply::Manufacturer] = static_cast<std::uint8_t>(part.manufacturerCode);
      reply[StepReply::Manufacturer + 1] = static_cast<std::uint8_t>(part.manufacturerCode >> 8);
      reply[StepReply::Device] = static_cast<std::uint8_t>(part.deviceCode);
      reply[StepReply::Device + 1] = static_cast<std::uint8_t>(part.deviceCode >> 8);
      if (!part.idMatches) reply[StepReply::Verdict] = Ack::Fail;
      break;
    case StepCode::ChipErase:
      if (part.protectedCells)
        reply[StepReply::Verdict] = Ack::Fail;
      else
        st.cells->clear();
      break;
    case StepCode::BlankCheck:
      if (auto at = st.cells->firstNot(0, st.cells->size(), 0xFF)) {
        reportAddress(reply, *at, 0xFF, st.cells->readVector(*at, 1)[0]);
      }
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

// Waits for the next data chunk: its length is what is left of the data, at most a chunk.
void awaitDataChunk(CommandContext& ctx, ProcedureState& st) {
  const std::uint64_t offset = std::uint64_t{st.chunkIndex} * st.chunkLength;
  const std::uint64_t left = st.dataLength > offset ? st.dataLength - offset : 0;
  st.lastChunkOffset = static_cast<std::uint32_t>(offset);
  st.lastChunkLength = static_cast<std::uint32_t>(std::min<std::uint64_t>(left, st.chunkLength));
  ++st.chunkIndex;
  ctx.receiveStream(std::max<std::uint32_t>(st.lastChunkLength, 1), UnitAddress::DataBuffer,
                    [](CommandContext& done) {
                      done.state<ProcedureState>().due = Clock::now();
                      advance(done);
                    });
}

// Runs steps until the next data chunk or the end; a step that does not pass ends the run.
void advance(CommandContext& ctx) {
  auto& st = ctx.state<ProcedureState>();
  while (st.running && st.next < st.steps.size()) {
    const std::size_t i = st.next++;
    const std::uint16_t code = st.steps[i];
    if (code == StepCode::DataChunk) return awaitDataChunk(ctx, st);
    // Verify right after Program streams the data again from its start.
    if (code == StepCode::Program && i + 2 < st.steps.size() &&
        st.steps[i + 2] == StepCode::Verify) {
      st.chunkIndex = 0;
    }
    const ReplyBytes reply = runStep(ctx, st, code);
    const auto now = Clock::now();
    st.due = std::max(st.due, now) + ctx.timing().durationOf(code);
    const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(st.due - now);
    const int sent = ctx.send(reply, ReplyStage::Completion, delay, code);
    if (sent != Ack::Pass || reply[StepReply::Verdict] != Ack::Pass) st.running = false;
  }
  if (st.running && st.next >= st.steps.size()) ++st.passedRuns;
  st.running = false;
}

void merge(CommandContext& ctx) {
  auto& st = ctx.state<ProcedureState>();
  st.steps = readProcedureList(ctx);
  st.dataLength = ctx.block().p(7);
  st.chunkLength = std::max<std::uint32_t>(st.dataChunkLength, 1);
  st.chunkIndex = 0;
  st.next = 0;
  st.running = true;
  st.due = Clock::now();
  ++st.runs;
  const std::uint32_t cellBytes = std::max<std::uint32_t>(st.dataLength, 1);
  if (!st.cells || st.cells->size() != cellBytes)
    st.cells = std::make_unique<UnitMemory>(0, cellBytes);
  ctx.accept();
  advance(ctx);
}

}  // namespace

void installProcedureCommands(CommandRegistry& registry) {
  registry.addFrame(FrameType::Merge, merge);
}

}  // namespace sim
