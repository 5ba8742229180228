#include "site/site_panels.h"

#include <utility>

#include "site/run_session.h"
#include "site/site_host.h"
#include "support/named_lock.h"

namespace {
bool IsPanelState(std::uint8_t status) {
  return status <= siPushKey;
}
bool IsRunState(std::uint8_t status) {
  return status == siWorking || status == siTake || status == siPut;
}
// The facts the UI thread's waits and their hooks look at.
bool WakesWaits(PanelEvent::Kind kind) {
  return kind == PanelEvent::Kind::Status || kind == PanelEvent::Kind::Checked ||
         kind == PanelEvent::Kind::PassCount || kind == PanelEvent::Kind::FailCount;
}
}  // namespace

SitePanels::SitePanels(NamedLock& statisticsLock, SiteHost& host)
    : statisticsLock_(statisticsLock), host_(&host) {}

void SitePanels::Show(PanelEvent event) {
  host_->Show(event);
  if (feed_ != nullptr) feed_->Publish(event);
  if (WakesWaits(event.kind)) host_->Wake();
}

void SitePanels::SetStatus(int site, std::uint8_t status) {
  if (!IsSiteIndex(site)) return;
  Panel& panel = panels_[SiteSlot(site)];
  if (IsPanelState(status)) {
    if (status == siNone) panel.checked = false;
    if (status == siReady) panel.checked = true;
    panel.status = status;
  }
  Show({PanelEvent::Kind::Status, site, status, 0, {}});
}

TSiteStatus SitePanels::Status(int site) const {
  if (!IsSiteIndex(site)) return siNone;
  return static_cast<TSiteStatus>(panels_[SiteSlot(site)].status.load());
}

void SitePanels::SetChecked(int site, bool checked) {
  if (!IsSiteIndex(site)) return;
  panels_[SiteSlot(site)].checked = checked;
  Show({PanelEvent::Kind::Checked, site, checked ? 1u : 0u, 0, {}});
}

bool SitePanels::Checked(int site) const {
  return IsSiteIndex(site) && panels_[SiteSlot(site)].checked.load();
}

void SitePanels::SetBigStatus(int site, std::uint8_t status) {
  if (!IsSiteIndex(site)) return;
  const std::uint8_t shown = (status == siPass || status == siFail) ? status : 0;
  panels_[SiteSlot(site)].bigStatus = shown;
  Show({PanelEvent::Kind::BigStatus, site, shown, 0, {}});
}

std::uint8_t SitePanels::BigStatus(int site) const {
  return IsSiteIndex(site) ? panels_[SiteSlot(site)].bigStatus.load() : 0;
}

void SitePanels::SetPassCount(int site, std::uint32_t count) {
  if (!IsSiteIndex(site)) return;
  panels_[SiteSlot(site)].passCount = count;
  Show({PanelEvent::Kind::PassCount, site, count, 0, {}});
}

std::uint32_t SitePanels::PassCount(int site) const {
  return IsSiteIndex(site) ? panels_[SiteSlot(site)].passCount.load() : 0;
}

void SitePanels::SetFailCount(int site, std::uint32_t count) {
  if (!IsSiteIndex(site)) return;
  panels_[SiteSlot(site)].failCount = count;
  Show({PanelEvent::Kind::FailCount, site, count, 0, {}});
}

std::uint32_t SitePanels::FailCount(int site) const {
  return IsSiteIndex(site) ? panels_[SiteSlot(site)].failCount.load() : 0;
}

void SitePanels::SetHintText(int site, const std::string& text) {
  if (!IsSiteIndex(site)) return;
  {
    std::lock_guard<std::mutex> lock(hintMutex_);
    hintText_[SiteSlot(site)] = text;
  }
  Show({PanelEvent::Kind::HintText, site, 0, 0, text});
}

std::string SitePanels::HintText(int site) const {
  if (!IsSiteIndex(site)) return {};
  std::lock_guard<std::mutex> lock(hintMutex_);
  return hintText_[SiteSlot(site)];
}

void SitePanels::SetSiteGroupEnabled(bool enabled) {
  siteGroupEnabled_ = enabled;
  Show({PanelEvent::Kind::SiteGroupEnabled, -1, enabled ? 1u : 0u, 0, {}});
}

StatisticsTotals SitePanels::Totals() const {
  StatisticsTotals totals;
  for (const Panel& panel : panels_) {
    totals.Pass += panel.passCount.load();
    totals.Fail += panel.failCount.load();
  }
  return totals;
}

void SitePanels::UpdateStatistics() {
  NamedLockGuard lock(statisticsLock_);
  const StatisticsTotals totals = Totals();
  Show({PanelEvent::Kind::Statistics, -1, totals.Pass, totals.Fail, {}});
}

void SitePanels::ResetStatistics() {
  NamedLockGuard lock(statisticsLock_);
  for (int site = 0; site < kSiteCount; ++site) {
    SetPassCount(site, 0);
    SetFailCount(site, 0);
  }
  Show({PanelEvent::Kind::Statistics, -1, 0, 0, {}});
}

bool SitePanels::AnySelectedSiteRunning() const {
  for (const Panel& panel : panels_) {
    if (panel.checked.load() && IsRunState(panel.status.load())) return true;
  }
  return false;
}
