#include "serve/station_metrics.h"

#include <nlohmann/json.hpp>
#include <sstream>

namespace {
constexpr double kMsPerSecond = 1000.0;

void Header(std::ostream& out, const char* name, const char* type, const char* help) {
  out << "# HELP " << name << ' ' << help << "\n# TYPE " << name << ' ' << type << '\n';
}
}  // namespace

void StationMetrics::CountPart(int site, bool pass, std::uint32_t elapsedMs) {
  if (site < 1 || site > kSiteCount) return;
  const double seconds = elapsedMs / kMsPerSecond;
  std::lock_guard<std::mutex> lock(mutex_);
  ++(pass ? passed_ : failed_)[static_cast<std::size_t>(site - 1)];
  for (std::size_t b = 0; b < kBuckets.size(); ++b) {
    if (seconds <= kBuckets[b]) {
      ++bucketCounts_[b];
      break;
    }
  }
  ++count_;
  sumSeconds_ += seconds;
}

void StationMetrics::Note(const std::string& type, const std::string& data) {
  if (type != "part") return;
  const nlohmann::json part = nlohmann::json::parse(data, nullptr, false);
  if (!part.is_object()) return;
  CountPart(part.value("site", 0), part.value("pass", false), part.value("elapsed_ms", 0u));
}

std::string StationMetrics::Text(const StationSnapshot& snapshot, std::size_t streamClients,
                                 std::uint64_t droppedClients) const {
  std::ostringstream out;
  std::lock_guard<std::mutex> lock(mutex_);
  Header(out, "gangprog_parts_total", "counter", "Parts done since the start, by site and result.");
  for (int site = 1; site <= kSiteCount; ++site) {
    const std::size_t slot = static_cast<std::size_t>(site - 1);
    out << "gangprog_parts_total{site=\"" << site << "\",result=\"pass\"} " << passed_[slot] << '\n'
        << "gangprog_parts_total{site=\"" << site << "\",result=\"fail\"} " << failed_[slot]
        << '\n';
  }
  Header(out, "gangprog_part_duration_seconds", "histogram", "Run time of each part.");
  std::uint64_t cumulative = 0;
  for (std::size_t b = 0; b < kBuckets.size(); ++b) {
    cumulative += bucketCounts_[b];
    out << "gangprog_part_duration_seconds_bucket{le=\"" << kBuckets[b] << "\"} " << cumulative
        << '\n';
  }
  out << "gangprog_part_duration_seconds_bucket{le=\"+Inf\"} " << count_ << '\n'
      << "gangprog_part_duration_seconds_sum " << sumSeconds_ << '\n'
      << "gangprog_part_duration_seconds_count " << count_ << '\n';
  Header(out, "gangprog_unit_up", "gauge", "1 where the site has a unit.");
  for (const StationSite& site : snapshot.sites) {
    out << "gangprog_unit_up{site=\"" << site.site << "\"} " << (site.state != "NONE" ? 1 : 0)
        << '\n';
  }
  Header(out, "gangprog_run_active", "gauge", "1 while a run is going.");
  out << "gangprog_run_active " << (snapshot.running ? 1 : 0) << '\n';
  Header(out, "gangprog_event_clients", "gauge", "Clients of the event stream.");
  out << "gangprog_event_clients " << streamClients << '\n';
  Header(out, "gangprog_event_clients_dropped_total", "counter",
         "Event-stream clients dropped for falling behind.");
  out << "gangprog_event_clients_dropped_total " << droppedClients << '\n';
  return out.str();
}
