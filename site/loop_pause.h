#pragma once
// The pauses of the looping operations: a wait that ends early once its reason is gone (the
// loop's stop control, a closed link), so a stop never waits out a whole interval.
#include <chrono>
#include <functional>

// Waits `duration` in short slices; returns early once `keepWaiting` gives false.
void PauseWhile(std::chrono::milliseconds duration, const std::function<bool()>& keepWaiting);

// How the loops pause: `PauseWhile`, or a test's stand-in that counts the pauses it is asked
// for instead of waiting them out.
using LoopPauseFunction =
    std::function<void(std::chrono::milliseconds, const std::function<bool()>& keepWaiting)>;
