#pragma once
// The simulated bus's own arrival and removal notices.
#include "bus/device_notices.h"

namespace sim {
class SimBus;
}

class SimBusNotices final : public DeviceNotices {
 public:
  explicit SimBusNotices(sim::SimBus& bus) : bus_(bus) {}
  ~SimBusNotices() override { Stop(); }

  void Start(Raise raise, BusSnapshot snapshot) override;
  void Stop() override;
  Kind Source() const override { return started_ ? Kind::Simulated : Kind::None; }

 private:
  sim::SimBus& bus_;
  bool started_ = false;
};
