#include "bus/sim_bus_notices.h"

#include <utility>

#include "sim/sim_bus.h"

void SimBusNotices::Start(Raise raise, BusSnapshot /*snapshot*/) {
  bus_.setNoticeCallback([raise = std::move(raise)](const sim::DeviceNotice&) { raise(); });
  started_ = true;
}

void SimBusNotices::Stop() {
  // Clearing the callback waits for a call in progress, so none can run after this returns.
  if (started_) bus_.setNoticeCallback({});
  started_ = false;
}
