#include "sim/faults.h"

namespace sim {

namespace {

bool isReplyFault(FaultKind kind) {
  return kind == FaultKind::ReplyByte || kind == FaultKind::ShortReply ||
         kind == FaultKind::NeverAnswer || kind == FaultKind::LeaveBus;
}

bool chunkMatches(const Fault& f, std::uint32_t chunk, bool last) {
  if (f.chunk == kAnyChunk) return true;
  if (f.chunk == kLastChunk) return last;
  return f.chunk == chunk;
}

}  // namespace

void FaultSet::arm(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(fault);
}

void FaultSet::clear() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

std::size_t FaultSet::armedCount() const {
  std::lock_guard lock(mutex_);
  return faults_.size();
}

bool FaultSet::aimMatches(const Fault& f, const FaultTarget& t) {
  if (f.code && *f.code != t.code) return false;
  if (f.nth && *f.nth != t.nth) return false;
  return true;
}

void FaultSet::consume(std::size_t index) {
  Fault& f = faults_[index];
  if (f.repeat == 0) return;  // fires every time
  if (--f.repeat == 0) faults_.erase(faults_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::optional<Fault> FaultSet::takeReplyFault(ReplyStage stage, const FaultTarget& target,
                                              std::uint32_t chunk, bool last) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < faults_.size(); ++i) {
    const Fault& f = faults_[i];
    if (!isReplyFault(f.kind) || f.stage != stage || !aimMatches(f, target)) continue;
    if (stage == ReplyStage::ChunkAck && !chunkMatches(f, chunk, last)) continue;
    Fault fired = f;
    consume(i);
    return fired;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> FaultSet::takeLeaveAfterChunks(const FaultTarget& target) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < faults_.size(); ++i) {
    const Fault& f = faults_[i];
    if (f.kind != FaultKind::LeaveAfterChunks || !aimMatches(f, target)) continue;
    const std::uint32_t k = f.count;
    consume(i);
    return k;
  }
  return std::nullopt;
}

bool FaultSet::takeWriteFailure(const std::optional<FaultTarget>& target) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < faults_.size(); ++i) {
    Fault& f = faults_[i];
    if (f.kind != FaultKind::FailWrites) continue;
    const bool aimed = f.code || f.nth;
    if (aimed && (!target || !aimMatches(f, *target))) continue;
    // `count` failing writes per firing; the fault is used up with its last one.
    if (f.count > 1) {
      --f.count;
    } else {
      consume(i);
    }
    return true;
  }
  return false;
}

}  // namespace sim
