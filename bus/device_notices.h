#pragma once
// The platform's notice that a USB device arrived or left, from whichever source the chosen bus
// has: the udev netlink monitor (real units where udev runs), a look at the bus every period
// where no event source works (a container without udev), or the simulated bus's own notice.
// Plain C++: a front end hands in what to do on a notice (the windows queue a rescan on their
// UI thread; the command-line program needs none).
#include <functional>
#include <string>
#include <vector>

class DeviceNotices {
 public:
  enum class Kind { None, Udev, Polling, Simulated };
  // Called on a notice, from the source's own thread.
  using Raise = std::function<void()>;
  // The matching devices on the bus now, each as a stable name; the polling source compares
  // successive looks.
  using BusSnapshot = std::function<std::vector<std::string>()>;

  virtual ~DeviceNotices() = default;
  // Starts the source; Source() tells which one runs (None when nothing could start).
  virtual void Start(Raise raise, BusSnapshot snapshot) = 0;
  // Stops the source; no Raise runs after it returns. The destructor stops too.
  virtual void Stop() = 0;
  virtual Kind Source() const = 0;
};
