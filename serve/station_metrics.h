#pragma once
// The station's figures in the Prometheus text format: parts by site and result, the parts'
// run times as a histogram, which sites have a unit and whether a run is going. The part
// figures are counted from the part events as they are published (any thread).
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "serve/station_engine.h"
#include "support/site_index.h"

class StationMetrics {
 public:
  // The upper bounds of the run-time buckets, in seconds (+Inf follows).
  static constexpr std::array<double, 11> kBuckets = {1, 2, 5, 10, 20, 30, 60, 120, 300, 600, 1800};

  // A part of site 1..8 ended; `elapsedMs` its run time.
  void CountPart(int site, bool pass, std::uint32_t elapsedMs);
  // A published event: part events are counted.
  void Note(const std::string& type, const std::string& data);

  // The exposition text, with the snapshot's unit and run gauges and the stream's figures.
  std::string Text(const StationSnapshot& snapshot, std::size_t streamClients,
                   std::uint64_t droppedClients) const;

 private:
  mutable std::mutex mutex_;  // guards everything below
  std::array<std::uint64_t, kSiteCount> passed_{};
  std::array<std::uint64_t, kSiteCount> failed_{};
  std::array<std::uint64_t, kBuckets.size()> bucketCounts_{};  // not cumulative
  std::uint64_t count_ = 0;
  double sumSeconds_ = 0;
};
