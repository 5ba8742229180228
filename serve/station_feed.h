#pragma once
// Where the engine's events go: counted for the metrics, then into the event hub that fans them
// out to the stream clients. Made before the engine and the server, which both use it.
#include <string>

#include "serve/event_hub.h"
#include "serve/station_engine.h"
#include "serve/station_metrics.h"

class StationFeed final : public StationEvents {
 public:
  explicit StationFeed(HubLimits limits = {}) : hub_(limits) {}

  // Any thread; never waits for a client.
  void Publish(const std::string& type, const std::string& data) override {
    metrics_.Note(type, data);
    hub_.Publish(type, data);
  }

  EventHub& Hub() { return hub_; }
  const StationMetrics& Metrics() const { return metrics_; }

 private:
  EventHub hub_;
  StationMetrics metrics_;
};
