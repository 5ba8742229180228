// The station server's cost to the units: the eight-site automatic loop of gangprog-cli serve
// (simulated units at a fixed speed, the smallest demo part, the virtual operator) timed from
// the part events, alone, with one event-stream client that never reads, and with 20 event-stream
// clients and 50 /api/v1/station requests per second. Prints the ratios of the parts-per-hour
// figures to the one alone, whether the stalled client was cut off, the 99th percentile of the
// requests' time and the events the stream clients missed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

#include "bench/bench_util.h"
#include "cli/cli_program.h"
#include "serve/site_station.h"
#include "serve/station_feed.h"
#include "serve/station_server.h"
#include "site/project_load.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "support/archiver.h"
#include "support/resource_pack.h"
#include "tools/make_demo_db/demo_database.h"
#include "tools/make_project/project_maker.h"

namespace {
using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr char kSpeed[] = "4";
constexpr char kProject[] = "Projects/MR24C256.zvprj";
constexpr std::uint64_t kWarmParts = 8;  // the first round, which includes the preparation
constexpr std::uint64_t kTimedParts = 64;
constexpr int kStreamClients = 20;
constexpr std::chrono::milliseconds kRequestEvery{20};  // 50 per second
constexpr double kRatioTarget = 0.99;
constexpr double kP99TargetMs = 20;
constexpr std::chrono::seconds kDropPatience{60};  // beyond the server's 5 s write timeout
constexpr int kStalledReceiveBuffer = 4096;

// Notes when each part ended, then passes every event on to the feed.
class PartClock final : public StationEvents {
 public:
  explicit PartClock(StationFeed& feed) : feed_(feed) {}
  void Publish(const std::string& type, const std::string& data) override {
    if (type == "part") {
      std::lock_guard<std::mutex> lock(mutex_);
      ends_.push_back(Clock::now());
    }
    feed_.Publish(type, data);
  }
  // Parts per hour from the end of the warm-up round to the last part.
  double PartsPerHour() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ends_.size() <= kWarmParts) return 0;
    const double seconds = Seconds(ends_.back() - ends_[kWarmParts - 1]).count();
    return static_cast<double>(ends_.size() - kWarmParts) * 3600.0 / seconds;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    ends_.clear();
  }

 private:
  StationFeed& feed_;
  std::mutex mutex_;
  std::vector<Clock::time_point> ends_;
};

// A stream client that reads every event and counts the ids it did not get.
class StreamClient {
 public:
  explicit StreamClient(int port) : client_("127.0.0.1", port) {
    client_.set_read_timeout(600, 0);
    thread_ = std::thread([this] {
      client_.Get("/api/v1/events", [this](const char* data, std::size_t size) {
        Take(std::string(data, size));
        return true;
      });
    });
  }
  ~StreamClient() {
    client_.stop();
    thread_.join();
  }
  std::uint64_t Lost() const { return lost_.load(); }
  std::uint64_t LastId() const { return last_.load(); }

 private:
  void Take(const std::string& text) {
    pending_ += text;
    for (std::size_t at; (at = pending_.find("id: ")) != std::string::npos;) {
      const std::size_t end = pending_.find('\n', at);
      if (end == std::string::npos) break;
      const std::uint64_t id = std::stoull(pending_.substr(at + 4, end - at - 4));
      const std::uint64_t last = last_.load();
      if (last != 0 && id != last + 1) lost_ += id - last - 1;
      last_ = id;
      pending_.erase(0, end);
    }
  }

  httplib::Client client_;
  std::string pending_;
  std::atomic<std::uint64_t> last_{0};
  std::atomic<std::uint64_t> lost_{0};
  std::thread thread_;
};

// A stream client that asks for the events and then reads nothing: its socket buffers fill up.
class StalledClient {
 public:
  explicit StalledClient(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
    setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kStalledReceiveBuffer, sizeof kStalledReceiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request = "GET /api/v1/events HTTP/1.1\r\nHost: bench\r\n\r\n";
    if (connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        write(fd_, request.data(), request.size()) != static_cast<ssize_t>(request.size())) {
      std::fprintf(stderr, "serve: the stalled client could not ask for the stream\n");
    }
  }
  ~StalledClient() { close(fd_); }
  StalledClient(const StalledClient&) = delete;
  StalledClient& operator=(const StalledClient&) = delete;

 private:
  int fd_;
};

// Waits until the hub counts at most `clients` stream clients; whether it did in time.
bool ClientsDownTo(EventHub& hub, std::size_t clients, std::chrono::seconds patience) {
  const auto until = Clock::now() + patience;
  while (hub.Clients() > clients) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(kRequestEvery);
  }
  return true;
}

// GET /api/v1/station 50 times a second; the times taken.
class StationPoller {
 public:
  explicit StationPoller(int port) : client_("127.0.0.1", port) {
    thread_ = std::thread([this] { Poll(); });
  }
  ~StationPoller() {
    ending_ = true;
    thread_.join();
  }
  double P99Ms() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ms_.empty()) return 1e9;
    std::vector<double> sorted = ms_;
    std::sort(sorted.begin(), sorted.end());
    return sorted[std::min(sorted.size() - 1, sorted.size() * 99 / 100)];
  }
  std::size_t Failures() const { return failures_.load(); }

 private:
  void Poll() {
    auto next = Clock::now();
    while (!ending_) {
      const auto start = Clock::now();
      auto reply = client_.Get("/api/v1/station");
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      if (!reply || reply->status != 200) ++failures_;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ms_.push_back(ms);
      }
      next += kRequestEvery;
      std::this_thread::sleep_until(next);
    }
  }

  httplib::Client client_;
  std::atomic<bool> ending_{false};
  std::atomic<std::size_t> failures_{0};
  std::mutex mutex_;
  std::vector<double> ms_;
  std::thread thread_;
};

std::string MakeBase(const std::string& plusModule) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() / ("zv_bench_serve_" + std::to_string(getpid()));
  const std::string base = (root / "base").string() + "/";
  std::filesystem::create_directories(base + "System");
  Archiver archiver;
  std::string error;
  std::vector<std::string> written;
  if (!MakeDemoDatabase(archiver, base, error) ||
      !MakeDemoProjects(archiver, base, base + "Projects", written, error)) {
    std::fprintf(stderr, "serve: the demo base folder could not be made: %s\n", error.c_str());
    return {};
  }
  std::filesystem::copy_file(plusModule, base + kPlusModulePath);
  return base;
}

// One automatic run of kWarmParts + kTimedParts parts; its parts per hour.
double TimedRun(SiteStation& engine, PartClock& clock, StationFeed& feed) {
  clock.Clear();
  auto reader = feed.Hub().Subscribe();
  StationRunRequest request;
  request.autoRun = true;
  request.parts = kWarmParts + kTimedParts;
  const RunStart start = engine.StartRun(request);
  if (start.status != RunStart::Status::Started) return 0;
  for (bool done = false; !done;) {
    const HubReader::Batch batch = reader->Next(1024, std::chrono::milliseconds(1000));
    for (const HubEvent& event : batch.events) done = done || event.type == "summary";
    if (batch.status == HubReader::Status::Dropped) reader = feed.Hub().Subscribe();
  }
  engine.WaitForRun();
  return clock.PartsPerHour();
}
}  // namespace

int main() {
  const std::string base = MakeBase(ZV_PLUS_MODULE);
  if (base.empty()) return 1;
  CliOptions options;
  options.baseDir = base;
  options.simulate = 8;
  options.simSpeed = std::stod(kSpeed);
  std::ostringstream quiet;
  CliEnvironment env(quiet, quiet);
  env.tempRoot = base;
  HeadlessProgram program(options, env, quiet);
  if (!program.Initialize() || !RescanUnits(program.System()) ||
      LoadProjectInto(program.System(), base + kProject) != LoadCode::Loaded) {
    std::fprintf(stderr, "serve: the station could not be set up\n");
    return 1;
  }
  StationFeed feed;
  PartClock clock(feed);
  SiteStation engine(program.System(), clock);
  ServerOptions serverOptions;
  serverOptions.port = 0;
  StationServer server(engine, feed, serverOptions);
  std::string error;
  if (!server.Start(error)) {
    std::fprintf(stderr, "serve: %s\n", error.c_str());
    return 1;
  }

  const double alone = TimedRun(engine, clock, feed);
  double stalledRun = 0;
  bool stalledDropped = false;
  {
    StalledClient stalled(server.Port());
    while (feed.Hub().Clients() < 1) std::this_thread::sleep_for(kRequestEvery);
    stalledRun = TimedRun(engine, clock, feed);
    stalledDropped = ClientsDownTo(feed.Hub(), 0, kDropPatience);
  }
  double served = 0;
  double p99 = 0;
  std::uint64_t lost = 0;
  std::size_t failures = 0;
  {
    std::vector<std::unique_ptr<StreamClient>> clients;
    for (int n = 0; n < kStreamClients; ++n) {
      clients.push_back(std::make_unique<StreamClient>(server.Port()));
    }
    while (feed.Hub().Clients() < kStreamClients) std::this_thread::sleep_for(kRequestEvery);
    StationPoller poller(server.Port());
    served = TimedRun(engine, clock, feed);
    const std::uint64_t lastId = feed.Hub().LastId();
    for (const auto& client : clients) {
      // Each client was connected before the run: it saw every event up to the last one.
      while (client->LastId() < lastId && feed.Hub().Clients() >= kStreamClients) {
        std::this_thread::sleep_for(kRequestEvery);
      }
      lost += client->Lost() + (lastId - client->LastId());
    }
    p99 = poller.P99Ms();
    failures = poller.Failures();
  }
  server.Stop();
  program.System().Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(std::filesystem::path(base).parent_path().parent_path(), ignored);

  const double ratio = alone > 0 ? served / alone : 0;
  const double stalledRatio = alone > 0 ? stalledRun / alone : 0;
  bench::Print("serve_speed", std::stod(kSpeed), "x");
  bench::Print("serve_uph_alone", alone, "parts/h");
  bench::Print("serve_uph_stalled", stalledRun, "parts/h");
  bench::Print("serve_stalled_ratio", stalledRatio, "x");
  bench::Print("stalled_client_dropped", stalledDropped ? 1.0 : 0.0, "clients");
  bench::Print("serve_uph_served", served, "parts/h");
  bench::Print("serve_uph_ratio", ratio, "x");
  bench::Print("api_p99_ms", p99, "ms");
  bench::Print("api_failures", static_cast<double>(failures), "requests");
  bench::Print("events_lost", static_cast<double>(lost), "events");
  const bool stalledHarmless = stalledRatio >= kRatioTarget && stalledDropped;
  return ratio >= kRatioTarget && stalledHarmless && p99 < kP99TargetMs && lost == 0 &&
                 failures == 0
             ? 0
             : 1;
}
