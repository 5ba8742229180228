#include "sim/sim_unit.h"

#include "sim/standard_commands.h"
#include "sim/unit_core.h"

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

inline constexpr int kErrNoDevice = -19;
inline constexpr int kErrTimedOut = -110;

}  // namespace

SimUnit::SimUnit(UnitConfig config)
    : name_(config.name), core_(std::make_unique<UnitCore>(config, faults_, tally_)) {
  if (config.standardCommands) installStandardCommands(core_->registry);
}

SimUnit::~SimUnit() = default;

void SimUnit::setSerialText(const std::string& text) {
  std::lock_guard lock(mutex_);
  core_->eeprom.setSerialText(text);
}

void SimUnit::setDateTimeId(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  core_->eeprom.setDateTimeId(id);
}

void SimUnit::blankEeprom() {
  std::lock_guard lock(mutex_);
  core_->eeprom.blank();
}

bool SimUnit::writeEeprom(std::size_t offset, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  return core_->eeprom.write(offset, bytes);
}

std::vector<std::uint8_t> SimUnit::eepromBytes() const {
  std::lock_guard lock(mutex_);
  const auto& bytes = core_->eeprom.bytes();
  return {bytes.begin(), bytes.end()};
}

void SimUnit::setFirmware(const FirmwareInfo& info) {
  std::lock_guard lock(mutex_);
  core_->firmware = info;
}

FirmwareInfo SimUnit::firmware() const {
  std::lock_guard lock(mutex_);
  return core_->firmware;
}

std::filesystem::path SimUnit::sdCardFolder() const {
  std::lock_guard lock(mutex_);
  return core_->sdCardFolder;
}

std::vector<std::uint8_t> SimUnit::readMemory(std::uint32_t address, std::size_t length) const {
  std::lock_guard lock(mutex_);
  return core_->memory.readVector(address, length);
}

bool SimUnit::writeMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  return core_->memory.write(address, bytes);
}

void SimUnit::clearMemory() {
  std::lock_guard lock(mutex_);
  core_->memory.clear();
}

void SimUnit::setDiscardData(bool discard) {
  std::lock_guard lock(mutex_);
  core_->discardData = discard;
}

void SimUnit::setTiming(const TimingModel& timing) {
  std::lock_guard lock(mutex_);
  core_->timing = timing;
}

TimingModel SimUnit::timing() const {
  std::lock_guard lock(mutex_);
  return core_->timing;
}

void SimUnit::armFault(const Fault& fault) {
  faults_.arm(fault);
}
void SimUnit::clearFaults() {
  faults_.clear();
}

UnitRecord SimUnit::record() const {
  std::lock_guard lock(mutex_);
  return core_->record.snapshot();
}

void SimUnit::clearRecord() {
  std::lock_guard lock(mutex_);
  core_->record.clear();
}

void SimUnit::registerCommand(std::uint16_t code, CommandHandler handler) {
  std::lock_guard lock(mutex_);
  core_->registry.add(code, std::move(handler));
}

void SimUnit::registerFrame(std::uint8_t frameType, CommandHandler handler) {
  std::lock_guard lock(mutex_);
  core_->registry.addFrame(frameType, std::move(handler));
}

std::shared_ptr<void>& SimUnit::stateSlotLocked(std::type_index type) {
  return core_->stateSlot(type);
}

void SimUnit::enterDataStream(std::uint64_t expectedBytes, std::uint32_t address) {
  std::lock_guard lock(mutex_);
  core_->startStream(nullptr, expectedBytes, address, {});
}

void SimUnit::leaveDataStream() {
  std::lock_guard lock(mutex_);
  core_->stopStream();
}

UnitPhase SimUnit::phase() const {
  std::lock_guard lock(mutex_);
  return core_->phase;
}

std::uint64_t SimUnit::streamedBytes() const {
  std::lock_guard lock(mutex_);
  return core_->lastStreamBytes;
}

std::optional<std::uint64_t> SimUnit::attach(LeaveHook hook) {
  std::lock_guard lock(mutex_);
  if (attached_.load()) return std::nullopt;
  ++session_;
  core_->resetProtocol();
  leaveHook_ = std::move(hook);
  attached_.store(true);
  return session_;
}

void SimUnit::detach(std::uint64_t session) {
  {
    std::lock_guard lock(mutex_);
    if (!attached_.load() || session != session_) return;
    attached_.store(false);
    core_->resetProtocol();
    leaveHook_ = nullptr;
  }
  replyReady_.notify_all();
}

std::function<void()> SimUnit::takePendingLeave() {
  const auto rejoin = core_->rejoinAfter;
  if (!core_->takeLeaveRequest() || !leaveHook_) return {};
  return [hook = leaveHook_, session = session_, rejoin] { hook(session, rejoin); };
}

int SimUnit::bulkWrite(std::uint64_t session, const std::uint8_t* bytes, int size, BusLink& link) {
  std::unique_lock lock(mutex_);
  if (!attached_.load() || session != session_) return kErrNoDevice;
  const int result = core_->write(bytes, size);
  const LinkShare share = linkShareLocked(result);
  std::function<void()> leave = takePendingLeave();
  lock.unlock();
  replyReady_.notify_all();
  if (leave) leave();
  share.take(link);
  return result;
}

SimUnit::LinkShare SimUnit::linkShareLocked(int bytes) const {
  const TimingModel& t = core_->timing;
  if (!t.enabled || bytes <= 0) return {};
  return {static_cast<std::uint64_t>(bytes), t.bytesPerSecond, t.scale};
}

void SimUnit::LinkShare::take(BusLink& link) const {
  if (bytes > 0) link.transfer(bytes, bytesPerSecond, scale);
}

int SimUnit::bulkRead(std::uint64_t session, const std::atomic<bool>& closed, std::uint8_t* out,
                      int size, int timeoutMs, BusLink& link) {
  const auto start = Clock::now();
  const auto deadline = start + std::chrono::milliseconds(timeoutMs);
  std::unique_lock lock(mutex_);
  int result = 0;
  for (;;) {
    if (closed.load() || !attached_.load() || session != session_) return kErrNoDevice;
    const auto now = Clock::now();
    if (!core_->replies.empty() && core_->replies.front().due <= now) {
      result = core_->readFront(out, size);
      break;
    }
    if (timeoutMs > 0 && now >= deadline) return kErrTimedOut;
    // Sleep until the front reply is due, the deadline, or a notification.
    auto until = Clock::time_point::max();
    if (!core_->replies.empty()) until = core_->replies.front().due;
    if (timeoutMs > 0) until = std::min(until, deadline);
    if (until == Clock::time_point::max()) {
      replyReady_.wait(lock);
    } else {
      replyReady_.wait_until(lock, until);
    }
  }
  const LinkShare share = linkShareLocked(result);
  std::function<void()> leave = takePendingLeave();
  lock.unlock();
  if (leave) leave();
  share.take(link);
  return result;
}

void SimUnit::wakeReaders() {
  { std::lock_guard lock(mutex_); }
  replyReady_.notify_all();
}

void SimUnit::clearHalt() {
  std::lock_guard lock(mutex_);
  core_->outHalted = false;
  ++core_->record.counters().clearHaltCalls;
}

void SimUnit::resetEndpoint() {
  std::lock_guard lock(mutex_);
  core_->outHalted = false;
  ++core_->record.counters().resetEndpointCalls;
}

void SimUnit::resetDevice() {
  std::lock_guard lock(mutex_);
  core_->outHalted = false;
  ++core_->record.counters().resetCalls;
}

void SimUnit::configurationSet() {
  std::lock_guard lock(mutex_);
  core_->outHalted = false;
}

}  // namespace sim
