// Eight simulated units working at once through the real log pipeline: the sites run their
// queues in parallel, every line reaches the log's consumer in the order it was queued, and
// nothing is left open or running afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "log/core/log_queue.h"
#include "log/core/log_writer.h"
#include "site/command.h"
#include "site/ops/operation_list.h"
#include "site/rescan.h"
#include "site/site_wait.h"
#include "tests/site/site_test_rig.h"
#include "tests/site/site_waits.h"

namespace {

// Notes every line in the order producers queue it, then hands it to the pipeline.
class OrderedLog final : public LogSink {
 public:
  OrderedLog()
      : pipeline_(LogDisplay::All),
        writer_(pipeline_, {.output = [this](const std::vector<ShownLogLine>& lines) {
                  std::lock_guard<std::mutex> lock(mutex_);
                  for (const ShownLogLine& line : lines)
                    delivered_.push_back(line.stamped.substr(line.stamped.find("] ") + 2));
                  changed_.notify_all();
                }}) {}
  void AddLogMessage(const std::string& text, std::uint32_t colour, std::uint8_t ignored,
                     std::uint8_t essential) override {
    // One lock around the note and the push, so the noted order is the queueing order.
    std::lock_guard<std::mutex> lock(mutex_);
    queued_.push_back(text);
    pipeline_.AddLogMessage(text, colour, ignored, essential);
  }
  // Waits until every queued line was delivered; returns both lists.
  bool Drained(std::vector<std::string>& queued, std::vector<std::string>& delivered) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool done = changed_.wait_for(lock, std::chrono::seconds(60),
                                        [this] { return delivered_.size() >= queued_.size(); });
    queued = queued_;
    delivered = delivered_;
    return done;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> queued_;
  std::vector<std::string> delivered_;
  LogQueue pipeline_;
  TLogWriter writer_;  // last: it calls back into the members above
};

// An operation that passes only if all eight sites are inside it at the same time.
class Rendezvous {
 public:
  SiteResult Meet() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++arrived_;
    met_.notify_all();
    const bool all =
        met_.wait_for(lock, std::chrono::seconds(60), [this] { return arrived_ >= kSiteCount; });
    return all ? SiteResultCode::Pass : SiteResultCode::Fail;
  }

 private:
  std::mutex mutex_;
  std::condition_variable met_;
  int arrived_ = 0;
};

constexpr Opcode kMeet = 29;  // any opcode the test may take over

TEST(ParallelSitesTest, EightSitesRunAtOnceAndTheLogKeepsTheQueueingOrder) {
  OrderedLog log;
  sim::RigOptions options;
  options.units = kSiteCount;
  sim::SimRig simRig = sim::makeSimRig(options);
  {
    HeadlessSiteHost host;
    SiteSystemConfig config;
    config.LogOverride = &log;
    config.Operations = SiteOperationList();
    SiteSystem system(*simRig.bus, config);
    system.AttachHost(host);
    ASSERT_TRUE(RescanUnits(system));

    Rendezvous rendezvous;
    system.Opcodes().Register(
        kMeet, [&rendezvous](SiteContext&, const OperationTexts&) { return rendezvous.Meet(); });
    for (int site = 0; site < kSiteCount; ++site) {
      OpcodeQueue queue = MakeQueue(
          {Opcodes::GetDateTimeId, kMeet, Opcodes::GetDateTimeId, Opcodes::ConnectNotice});
      ASSERT_TRUE(Command(system, site, queue).Started());
    }
    WaitForSitesOrFail(system);
    for (int site = 0; site < kSiteCount; ++site) {
      EXPECT_EQ(system.Panels().Status(site), siReady) << site;  // the rendezvous passed everywhere
    }

    std::vector<std::string> queued;
    std::vector<std::string> delivered;
    ASSERT_TRUE(log.Drained(queued, delivered));
    EXPECT_EQ(delivered, queued);
    for (int site = 0; site < kSiteCount; ++site) {
      const std::string s = "Site #" + std::to_string(site + 1);
      std::vector<std::string> own;
      for (const std::string& line : delivered) {
        if (line.rfind(s + " ", 0) == 0) own.push_back(line);
      }
      const std::vector<std::string> greeting = {s + " - EEPROM Read", s + " - EEPROM Read Pass",
                                                 s + " - Get DateTime ID Pass"};
      std::vector<std::string> expected = greeting;  // the rescan's greeting
      for (int run = 0; run < 2; ++run)
        expected.insert(expected.end(), greeting.begin(), greeting.end());
      EXPECT_EQ(own, expected) << s;
    }
  }
  // The system is gone: every link closed, every worker joined.
  EXPECT_EQ(simRig.bus->openHandleCount(), 0u);
}

}  // namespace
