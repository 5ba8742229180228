#pragma once
// The operator's hand at one socket. It reacts to the unit's insertion polls: a poll that
// finds the socket empty means the program shows PUT, so a new part goes in a short random
// time later; a poll after the part was worked on means TAKE, so it comes out a short random
// time later (and the next poll that finds it gone asks for the next part). Driven with
// explicit times, so tests step it with a fake clock.
#include <chrono>
#include <cstdint>
#include <random>

#include "sim/timing_model.h"
#include "sim/virtual_gang.h"

namespace sim {

class SocketHand {
 public:
  using Time = std::chrono::steady_clock::time_point;
  enum class Socket { Empty, Fresh, Done };

  SocketHand(const OperatorOptions& options, std::uint64_t seat, Socket initial = Socket::Fresh);

  struct Look {
    bool present = false;
    bool newPart = false;  // a fresh part went in since the last look
  };
  // The unit looks into its socket at `now`; delays are the model's, turned into real time
  // by `timing` (zero with the model off, so the part moves at the next look).
  Look look(Time now, const TimingModel& timing);
  // The part in the socket was worked on (a run started on it).
  void worked();

  Socket socket() const { return socket_; }
  std::uint64_t inserted() const { return inserted_; }
  std::uint64_t removed() const { return removed_; }

 private:
  std::chrono::nanoseconds draw(std::chrono::milliseconds low, std::chrono::milliseconds high,
                                const TimingModel& timing);

  OperatorOptions options_;
  std::mt19937_64 random_;
  Socket socket_;
  bool moving_ = false;  // a hand is on its way: the part goes in or out at `due_`
  Time due_{};
  std::uint64_t inserted_ = 0;
  std::uint64_t removed_ = 0;
};

}  // namespace sim
