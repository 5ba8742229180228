#include "sim/virtual_operator.h"

namespace sim {

namespace {

inline constexpr std::uint64_t kHandStream = 1;

}  // namespace

SocketHand::SocketHand(const OperatorOptions& options, std::uint64_t seat, Socket initial)
    : options_(options), random_(streamSeed(options.seed, seat, kHandStream)), socket_(initial) {}

std::chrono::nanoseconds SocketHand::draw(std::chrono::milliseconds low,
                                          std::chrono::milliseconds high,
                                          const TimingModel& timing) {
  const auto lo = std::min(low, high).count();
  const auto hi = std::max(low, high).count();
  // Drawn even with the model off, so the sequence does not depend on the timing.
  std::uniform_int_distribution<std::int64_t> pick(lo * 1000, hi * 1000);
  return timing.realTime(std::chrono::microseconds(pick(random_)));
}

SocketHand::Look SocketHand::look(Time now, const TimingModel& timing) {
  Look result;
  if (socket_ == Socket::Done) {
    if (!moving_) {
      // The first look after the work is the one that shows TAKE: the part is still there.
      moving_ = true;
      due_ = now + draw(options_.removeDelayMin, options_.removeDelayMax, timing);
      result.present = true;
      return result;
    }
    if (now < due_) {
      result.present = true;
      return result;
    }
    socket_ = Socket::Empty;
    moving_ = false;
    ++removed_;
  }
  if (socket_ == Socket::Empty) {
    if (!moving_) {
      moving_ = true;
      due_ = now + draw(options_.insertDelayMin, options_.insertDelayMax, timing);
      return result;  // the first look that finds it empty asks for a part
    }
    if (now < due_) return result;
    socket_ = Socket::Fresh;
    moving_ = false;
    ++inserted_;
    result.newPart = true;
  }
  result.present = true;
  return result;
}

void SocketHand::worked() {
  if (socket_ == Socket::Fresh) socket_ = Socket::Done;
}

}  // namespace sim
