#pragma once
// A whole site engine on simulated units, for the integration tests: a bus with N units, the
// settings, paths and locks, a log that captures every line, a recording headless host and the
// system itself (declared last, so its workers end before everything they use).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "log/core/log_sink.h"
#include "sim/sim_factory.h"
#include "site/command.h"
#include "site/headless_site_host.h"
#include "site/ops/operation_list.h"
#include "site/site_system.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "support/system_paths.h"
#include "tests/site/direct_context.h"
#include "tests/support/hang_guard.h"

struct LoggedLine {
  std::string text;
  std::uint32_t colour;
};

class CapturingLog final : public LogSink {
 public:
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t,
                     std::uint8_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back({text, colour});
  }
  std::vector<LoggedLine> Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  std::vector<std::string> TextsOf(int site) const {
    const std::string prefix = "Site #" + std::to_string(site + 1) + " ";
    std::vector<std::string> texts;
    for (const LoggedLine& line : Lines()) {
      if (line.text.rfind(prefix, 0) == 0) texts.push_back(line.text);
    }
    return texts;
  }
  bool Has(const std::string& text, std::uint32_t colour) const {
    for (const LoggedLine& line : Lines()) {
      if (line.text == text && line.colour == colour) return true;
    }
    return false;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<LoggedLine> lines_;
};

struct SiteRig {
  explicit SiteRig(int units, LogSink* log = nullptr)
      : rig(MakeRig(units)),
        host(true),
        system(*rig.bus, Config(log ? log : &captured)),
        para(system.Para()),
        locks(system.Locks()),
        panels(system.Panels()) {
    system.AttachHost(host);
  }

  static SiteSystemConfig Config(LogSink* log) {
    SiteSystemConfig config;
    config.LogOverride = log;
    config.Operations = SiteOperationList();
    return config;
  }

  static sim::SimRig MakeRig(int units) {
    sim::RigOptions options;
    options.units = units;
    return sim::makeSimRig(options);
  }
  sim::SimUnit& Unit(int k) { return *rig.units[static_cast<std::size_t>(k)]; }

  sim::SimRig rig;
  CapturingLog captured;
  HeadlessSiteHost host;
  SiteSystem system;
  DirectContexts Site{system};  // Site(n): site n's context
  S_SystemPara& para;
  NamedLocks& locks;
  SitePanels& panels;
};

// An operation held until the test releases it; a release that never comes fails the test.
inline void WaitReleased(const std::shared_future<void>& released) {
  if (released.wait_for(kHangGuard) != std::future_status::ready) {
    ADD_FAILURE() << "the held operation was never released";
  }
}

// Keeps one worker of the rig busy in an empty step until released, for the tests of what may
// not happen while a worker runs.
class BusyWorker {
 public:
  BusyWorker(SiteRig& rig, int site) {
    rig.system.Opcodes().Register(Opcodes::EmptyStepA, [this](SiteContext&, const OperationTexts&) {
      inside_ = true;
      if (!WaitUntil([this] { return release_.load(); })) {
        ADD_FAILURE() << "the busy worker was never released";
      }
      return SiteResultCode::Pass;
    });
    OpcodeQueue queue = MakeQueue({Opcodes::EmptyStepA});
    started_ =
        Command(rig.system, site, queue).Started() && WaitUntil([this] { return inside_.load(); });
  }
  ~BusyWorker() { Release(); }
  BusyWorker(const BusyWorker&) = delete;
  BusyWorker& operator=(const BusyWorker&) = delete;

  bool Started() const { return started_; }
  void Release() { release_ = true; }

 private:
  std::atomic<bool> release_{false};
  std::atomic<bool> inside_{false};
  bool started_ = false;
};
