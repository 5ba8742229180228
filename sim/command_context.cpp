#include "sim/command_context.h"

#include "sim/unit_core.h"

namespace sim {

ReplyBytes makeReply(std::uint8_t result) {
  ReplyBytes reply{};
  reply[0] = result;
  return reply;
}

CommandContext::CommandContext(UnitCore& core, ReceivedCommand& command, bool acceptanceSent)
    : core_(core), command_(command), acceptanceSent_(acceptanceSent) {}

UnitMemory& CommandContext::memory() {
  return core_.memory;
}
Eeprom& CommandContext::eeprom() {
  return core_.eeprom;
}
FirmwareInfo& CommandContext::firmware() {
  return core_.firmware;
}
const std::filesystem::path& CommandContext::sdCardFolder() const {
  return core_.sdCardFolder;
}

const TimingModel& CommandContext::timing() const {
  return core_.timing;
}

const GangConfig& CommandContext::gang() const {
  return core_.gang;
}

void CommandContext::countPart(bool good) {
  auto& mine = good ? core_.tally.good : core_.tally.failed;
  ++mine;
  if (core_.gang.busTally) ++(good ? core_.gang.busTally->good : core_.gang.busTally->failed);
}

bool CommandContext::silent() const {
  return frameGetsNoReply(command_.block.frameType);
}

void CommandContext::accept() {
  if (acceptanceSent_) return;
  acceptanceSent_ = true;
  if (!silent()) core_.queueRaw(makeReply(Ack::Pass), kReplySize, turnaround());
}

void CommandContext::refuse() {
  if (acceptanceSent_) return;
  acceptanceSent_ = true;
  command_.refused = true;
  if (!silent()) core_.queueRaw(makeReply(Ack::Fail), kReplySize, turnaround());
}

std::chrono::nanoseconds CommandContext::turnaround() const {
  return core_.timing.realTime(core_.timing.turnaround());
}

void CommandContext::ensureAccepted() {
  if (!acceptanceSent_) accept();
}

void CommandContext::complete(std::uint8_t result) {
  complete(makeReply(result));
}

void CommandContext::complete(const ReplyBytes& reply) {
  complete(reply, core_.timing.durationOf(code()));
}

void CommandContext::complete(const ReplyBytes& reply, std::chrono::nanoseconds modelDuration) {
  send(reply, ReplyStage::Completion, core_.timing.realTime(modelDuration));
}

int CommandContext::send(const ReplyBytes& reply, ReplyStage stage, std::chrono::nanoseconds delay,
                         std::optional<std::uint16_t> faultCode) {
  ensureAccepted();
  if (silent()) return -1;
  return core_.sendReply(reply, stage, FaultTarget{faultCode.value_or(code()), index()}, delay);
}

void CommandContext::receiveChunks(std::uint32_t address, std::uint32_t chunkLength,
                                   std::uint32_t count, TransferDone done) {
  ensureAccepted();
  core_.startReceive(command_, address, chunkLength, count, std::move(done));
}

void CommandContext::sendChunks(std::uint32_t address, std::uint32_t chunkLength,
                                std::uint32_t count, TransferDone done) {
  ensureAccepted();
  core_.startSend(command_, address, chunkLength, count, std::move(done));
}

void CommandContext::receiveStream(std::uint64_t expectedBytes, std::uint32_t address,
                                   TransferDone done) {
  ensureAccepted();
  core_.startStream(&command_, expectedBytes, address, std::move(done));
}

void CommandContext::leaveBus(std::optional<std::chrono::milliseconds> rejoinAfter) {
  ensureAccepted();
  core_.leaveWhenDrained = true;
  core_.rejoinAfter = rejoinAfter;
}

void CommandContext::protocolError(std::string text) {
  core_.record.addProtocolError(std::move(text));
}

std::shared_ptr<void>& CommandContext::stateSlot(std::type_index type) {
  return core_.stateSlot(type);
}

void CommandRegistry::add(std::uint16_t code, CommandHandler handler) {
  byCode_[code] = std::move(handler);
}

void CommandRegistry::addFrame(std::uint8_t frameType, CommandHandler handler) {
  byFrame_[frameType] = std::move(handler);
}

void CommandRegistry::remove(std::uint16_t code) {
  byCode_.erase(code);
}

const CommandHandler* CommandRegistry::find(const DecodedBlock& block) const {
  if (auto it = byFrame_.find(block.frameType); it != byFrame_.end()) return &it->second;
  const auto code = block.firstCode();
  if (!code) return nullptr;
  auto it = byCode_.find(*code);
  return it == byCode_.end() ? nullptr : &it->second;
}

}  // namespace sim
