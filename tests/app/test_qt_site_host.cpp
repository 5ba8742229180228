// The Qt site host: calls from worker threads reach each panel in call order on the UI thread,
// and the states other threads read are stored in the panel model at call time.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "site/site_panels.h"
#include "support/named_lock.h"

namespace {
class HostTest : public ::testing::Test {
 protected:
  HostTest() {
    for (int i = 0; i < kSiteCount; ++i) {
      frames[static_cast<std::size_t>(i)] = std::make_unique<TSiteFrame>();
      frames[static_cast<std::size_t>(i)]->SaveBarStyle();
      host.SetFrame(i, frames[static_cast<std::size_t>(i)].get());
    }
  }
  void RunEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 20000) QCoreApplication::processEvents();
  }
  std::array<std::unique_ptr<TSiteFrame>, kSiteCount> frames;
  QtSiteHost host;
  NamedLocks locks;
  SitePanels panels{locks.Get(LockName::Statistics), host};
};
}  // namespace

TEST_F(HostTest, WorkerCallsReachEachPanelInCallOrder) {
  constexpr std::uint32_t kCalls = 1500;
  std::mutex mutex;
  std::array<std::vector<QString>, kSiteCount> seen;  // label text at each marker, UI thread
  std::atomic<int> mismatchesAtCallTime{0};
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int site = 0; site < kSiteCount; ++site) {
    workers.emplace_back([&, site] {
      TSiteFrame* frame = frames[static_cast<std::size_t>(site)].get();
      panels.SetStatus(site, siWorking);
      if (panels.Status(site) != siWorking) ++mismatchesAtCallTime;
      for (std::uint32_t n = 1; n <= kCalls; ++n) {
        panels.SetPassCount(site, n);
        if (panels.PassCount(site) != n) ++mismatchesAtCallTime;
        // A marker behind the call: when it runs, the panel must show exactly n.
        host.Post([&, frame, site] {
          std::lock_guard<std::mutex> lock(mutex);
          seen[static_cast<std::size_t>(site)].push_back(frame->passCountLabel->text());
        });
      }
      panels.SetStatus(site, siPass);
      ++finished;
    });
  }
  RunEventsUntil([&] {
    std::lock_guard<std::mutex> lock(mutex);
    if (finished.load() < kSiteCount) return false;
    for (const auto& s : seen)
      if (s.size() < kCalls) return false;
    return true;
  });
  for (auto& w : workers) w.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(mismatchesAtCallTime.load(), 0);
  for (int site = 0; site < kSiteCount; ++site) {
    const auto& s = seen[static_cast<std::size_t>(site)];
    ASSERT_EQ(s.size(), kCalls) << site;
    for (std::uint32_t n = 1; n <= kCalls; ++n)
      ASSERT_EQ(s[n - 1], QStringLiteral("Pass:%1").arg(n)) << "site " << site;
    EXPECT_EQ(frames[static_cast<std::size_t>(site)]->resultFieldLabel->text(), "PASS");
    EXPECT_EQ(panels.Status(site), siPass);
  }
}

TEST_F(HostTest, UiThreadCallRunsAfterWhatWorkersQueuedBefore) {
  std::thread worker([&] {
    panels.SetStatus(2, siReady);
    panels.SetStatus(2, siFail);
  });
  worker.join();
  // The worker's calls are still queued; the UI thread's own call must not overtake them.
  panels.SetStatus(2, siWorking);
  EXPECT_EQ(frames[2]->stateLabel->text(), "WORKING");
  EXPECT_EQ(frames[2]->resultFieldLabel->text(), "----");
  EXPECT_EQ(panels.Status(2), siWorking);
}

TEST_F(HostTest, SelectionFollowsTheStateAtCallTime) {
  std::thread worker([&] {
    panels.SetStatus(4, siReady);
    EXPECT_TRUE(panels.Checked(4));
    panels.SetChecked(4, false);
    EXPECT_FALSE(panels.Checked(4));
    panels.SetStatus(4, siReady);
    panels.SetStatus(4, siNone);
    EXPECT_FALSE(panels.Checked(4));
    panels.SetStatus(4, 9);  // not a state: stored nothing
    EXPECT_EQ(panels.Status(4), siNone);
  });
  worker.join();
  host.Drain();
  EXPECT_FALSE(frames[4]->siteCheckBox->isChecked());
  EXPECT_EQ(frames[4]->stateLabel->text(), "NONE");
  // Out-of-range sites are ignored rather than touching memory.
  panels.SetStatus(8, siReady);
  panels.SetPassCount(-1, 3);
  EXPECT_EQ(panels.Status(8), siNone);
  EXPECT_FALSE(panels.Checked(-1));
}

// A worker's change ends the UI thread's sleep in the event loop, which handles the windows'
// events meanwhile; only the 60 s guard could end it otherwise (the wait itself allows two
// minutes).
TEST_F(HostTest, AWorkersChangeWakesTheUiThreadsWait) {
  bool guardFired = false;
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] { guardFired = true; });
  guard.start(60000);
  bool eventHandled = false;
  QMetaObject::invokeMethod(
      &host, [&] { eventHandled = true; }, Qt::QueuedConnection);
  const std::uint64_t seen = host.Wakes();
  std::thread worker([&] { panels.SetStatus(3, siPass); });
  host.WaitForWake(seen, std::chrono::minutes(2));
  worker.join();
  EXPECT_FALSE(guardFired);
  EXPECT_GT(host.Wakes(), seen);
  EXPECT_TRUE(eventHandled);
  EXPECT_EQ(panels.Status(3), siPass);
}
