#pragma once
// The model of the eight site panels: state, selection, large status, counters and hint text,
// with the rule between them. The engine reads and writes only this model; a front end draws
// it from the events it is shown (SiteHost), a headless one needs nothing more.
//
// Every fact is stored at call time (atomics for what other threads read without a lock), so
// WaitForSites sees siWorking as soon as a Command has set it; then the change is shown.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "site/panel_event.h"
#include "site/site_status.h"

class NamedLock;
class RunSession;
class SiteHost;

struct StatisticsTotals {
  std::uint32_t Pass = 0;
  std::uint32_t Fail = 0;
};

class SitePanels {
 public:
  // `statisticsLock` is "SetStaThread": it orders the sums of UpdateStatistics.
  SitePanels(NamedLock& statisticsLock, SiteHost& host);
  // The front end that shows the changes; set before any worker runs.
  void AttachHost(SiteHost& host) { host_ = &host; }
  // The run session, which tells its observers every change after the host; set once.
  void AttachFeed(RunSession& session) { feed_ = &session; }

  // siNone unselects the site, siReady selects it; a value above siPushKey changes nothing and
  // only repaints. Site indexes outside 0..7 are ignored, and read as empty.
  void SetStatus(int site, std::uint8_t status);
  TSiteStatus Status(int site) const;
  void SetChecked(int site, bool checked);
  bool Checked(int site) const;
  // The large field keeps PASS or FAIL; any other value shows it idle ("----", 0).
  void SetBigStatus(int site, std::uint8_t status);
  std::uint8_t BigStatus(int site) const;
  void SetPassCount(int site, std::uint32_t count);
  std::uint32_t PassCount(int site) const;
  void SetFailCount(int site, std::uint32_t count);
  std::uint32_t FailCount(int site) const;
  void SetHintText(int site, const std::string& text);
  std::string HintText(int site) const;

  // The rescan greys the site group while it works.
  void SetSiteGroupEnabled(bool enabled);
  bool SiteGroupEnabled() const { return siteGroupEnabled_.load(); }

  // Sums the counters under the statistics lock and shows the totals; any thread. The lock
  // orders the sums, so the last shown totals are the true ones.
  void UpdateStatistics();
  // Every counter back to 0, shown, under the same lock.
  void ResetStatistics();
  StatisticsTotals Totals() const;

  // Whether a selected site's panel still shows work (siWorking, siTake, siPut).
  bool AnySelectedSiteRunning() const;

 private:
  struct Panel {
    std::atomic<std::uint8_t> status{siNone};
    std::atomic<bool> checked{false};
    std::atomic<std::uint8_t> bigStatus{0};
    std::atomic<std::uint32_t> passCount{0};
    std::atomic<std::uint32_t> failCount{0};
  };
  void Show(PanelEvent event);

  NamedLock& statisticsLock_;
  SiteHost* host_;
  RunSession* feed_ = nullptr;
  std::array<Panel, kSiteCount> panels_;
  std::atomic<bool> siteGroupEnabled_{true};
  mutable std::mutex hintMutex_;
  std::array<std::string, kSiteCount> hintText_;
};
