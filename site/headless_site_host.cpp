#include "site/headless_site_host.h"

#include <utility>

namespace {
bool ValidSite(int site) {
  return site >= 0 && site < kSiteCount;
}
std::size_t Index(int site) {
  return static_cast<std::size_t>(site);
}
constexpr std::uint8_t kLastStatus = siPushKey;
}  // namespace

void HeadlessSiteHost::SetStatus(int site, std::uint8_t status) {
  if (!ValidSite(site)) return;
  Record({HostCall::Kind::Status, site, status, {}});
  if (status > kLastStatus) return;  // the panel only repaints
  if (status == siNone) checked_[Index(site)] = false;
  if (status == siReady) checked_[Index(site)] = true;
  status_[Index(site)] = status;
}

TSiteStatus HeadlessSiteHost::Status(int site) const {
  if (!ValidSite(site)) return siNone;
  return static_cast<TSiteStatus>(status_[Index(site)].load());
}

void HeadlessSiteHost::SetChecked(int site, bool checked) {
  if (!ValidSite(site)) return;
  Record({HostCall::Kind::Checked, site, checked ? 1u : 0u, {}});
  checked_[Index(site)] = checked;
}

bool HeadlessSiteHost::Checked(int site) const {
  return ValidSite(site) && checked_[Index(site)].load();
}

void HeadlessSiteHost::SetBigStatus(int site, std::uint8_t status) {
  if (!ValidSite(site)) return;
  Record({HostCall::Kind::BigStatus, site, status, {}});
  // The large field shows PASS or FAIL, anything else resets it to "----".
  bigStatus_[Index(site)] = (status == siPass || status == siFail) ? status : 0;
}

void HeadlessSiteHost::SetPassCount(int site, std::uint32_t count) {
  if (!ValidSite(site)) return;
  Record({HostCall::Kind::PassCount, site, count, {}});
  passCount_[Index(site)] = count;
}

std::uint32_t HeadlessSiteHost::PassCount(int site) const {
  return ValidSite(site) ? passCount_[Index(site)].load() : 0;
}

void HeadlessSiteHost::SetFailCount(int site, std::uint32_t count) {
  if (!ValidSite(site)) return;
  Record({HostCall::Kind::FailCount, site, count, {}});
  failCount_[Index(site)] = count;
}

std::uint32_t HeadlessSiteHost::FailCount(int site) const {
  return ValidSite(site) ? failCount_[Index(site)].load() : 0;
}

void HeadlessSiteHost::SetHintText(int site, const std::string& text) {
  if (!ValidSite(site)) return;
  Record({HostCall::Kind::HintText, site, 0, text});
  std::lock_guard<std::mutex> lock(mutex_);
  hintText_[Index(site)] = text;
}

void HeadlessSiteHost::SetSiteGroupEnabled(bool enabled) {
  Record({HostCall::Kind::SiteGroupEnabled, -1, enabled ? 1u : 0u, {}});
  siteGroupEnabled_ = enabled;
}

void HeadlessSiteHost::UpdateStatistics() {
  Record({HostCall::Kind::UpdateStatistics, -1, 0, {}});
  ++statisticsUpdates_;
}

void HeadlessSiteHost::ProcessMessages() {
  ++processMessagesCalls_;
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hook = hook_;
  }
  if (hook) hook();
}

void HeadlessSiteHost::SetProcessMessagesHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

std::uint8_t HeadlessSiteHost::BigStatus(int site) const {
  return ValidSite(site) ? bigStatus_[Index(site)].load() : 0;
}

std::string HeadlessSiteHost::HintText(int site) const {
  if (!ValidSite(site)) return {};
  std::lock_guard<std::mutex> lock(mutex_);
  return hintText_[Index(site)];
}

std::vector<HostCall> HeadlessSiteHost::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<HostCall> HeadlessSiteHost::CallsFor(int site) const {
  std::vector<HostCall> result;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const HostCall& call : calls_) {
    if (call.site == site) result.push_back(call);
  }
  return result;
}

void HeadlessSiteHost::ClearCalls() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
}

void HeadlessSiteHost::Record(HostCall call) {
  if (!record_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(std::move(call));
}
