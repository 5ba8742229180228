#pragma once
// Hang guards for tests: every wait has a deadline, so that a regression fails the test instead
// of hanging it. The deadline is generous: it only ever ends a wait that would never end.
#include <poll.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>

inline constexpr std::chrono::milliseconds kHangGuard = std::chrono::seconds(60);

// Polls `done` until it holds (true) or the time is up (false).
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = kHangGuard) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Whether `fd` has bytes (or its end) to read within the limit.
inline bool ReadableWithin(int fd, std::chrono::milliseconds limit = kHangGuard) {
  pollfd ready{fd, POLLIN, 0};
  return ::poll(&ready, 1, static_cast<int>(limit.count())) == 1;
}

// Reaps the child within the limit; a child still running then is killed and reaped, and the
// result is false.
inline bool ReapChild(pid_t child, int& status, std::chrono::milliseconds limit = kHangGuard) {
  const bool ended = WaitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, limit);
  if (!ended) {
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
  }
  return ended;
}
