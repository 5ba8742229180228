#pragma once
// A SiteHost without windows, for tests and the console front end. The panel's facts live in
// atomics and take effect at call time, on whichever thread calls; the calls can be recorded
// in order for tests that check what the windows would have been told.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "site/site_host.h"

struct HostCall {
  enum class Kind {
    Status,
    Checked,
    BigStatus,
    PassCount,
    FailCount,
    HintText,
    SiteGroupEnabled,
    UpdateStatistics,
  };
  Kind kind;
  int site;             // -1 for the main window's calls
  std::uint32_t value;  // state, flag or counter
  std::string text;     // hint text
};

class HeadlessSiteHost final : public SiteHost {
 public:
  explicit HeadlessSiteHost(bool record = false) : record_(record) {}

  // Site panel. Like the panel: siReady selects the site, siNone deselects it, and a value
  // above 7 changes nothing. Site indexes outside 0..7 are ignored.
  void SetStatus(int site, std::uint8_t status) override;
  TSiteStatus Status(int site) const override;
  void SetChecked(int site, bool checked) override;
  bool Checked(int site) const override;
  void SetBigStatus(int site, std::uint8_t status) override;
  void SetPassCount(int site, std::uint32_t count) override;
  std::uint32_t PassCount(int site) const override;
  void SetFailCount(int site, std::uint32_t count) override;
  std::uint32_t FailCount(int site) const override;
  void SetHintText(int site, const std::string& text) override;

  void SetSiteGroupEnabled(bool enabled) override;
  void UpdateStatistics() override;
  bool StopAllEnabled() const override { return stopAll_.load(); }
  void ProcessMessages() override;

  bool KeyRunStopEnabled() const override { return keyRunStop_.load(); }
  std::int32_t AutoRunInterval() const override { return autoRunInterval_.load(); }
  bool IgnoreInsertionDetection() const override { return ignoreInsertion_.load(); }

  // What a front end or a test sets in place of the windows' controls.
  void SetStopAllEnabled(bool enabled) { stopAll_ = enabled; }
  void SetKeyRunStopEnabled(bool enabled) { keyRunStop_ = enabled; }
  void SetAutoRunInterval(std::int32_t ms) { autoRunInterval_ = ms; }
  void SetIgnoreInsertionDetection(bool ignore) { ignoreInsertion_ = ignore; }
  // Runs on every ProcessMessages, on the waiting thread (tests act "from the UI" with it).
  void SetProcessMessagesHook(std::function<void()> hook);

  // Read-back for tests.
  std::uint8_t BigStatus(int site) const;  // the value last shown in the large field
  std::string HintText(int site) const;
  bool SiteGroupEnabled() const { return siteGroupEnabled_.load(); }
  unsigned StatisticsUpdates() const { return statisticsUpdates_.load(); }
  unsigned ProcessMessagesCalls() const { return processMessagesCalls_.load(); }
  std::vector<HostCall> Calls() const;
  std::vector<HostCall> CallsFor(int site) const;
  void ClearCalls();

 private:
  void Record(HostCall call);

  const bool record_;
  std::array<std::atomic<std::uint8_t>, kSiteCount> status_{};
  std::array<std::atomic<bool>, kSiteCount> checked_{};
  std::array<std::atomic<std::uint8_t>, kSiteCount> bigStatus_{};
  std::array<std::atomic<std::uint32_t>, kSiteCount> passCount_{};
  std::array<std::atomic<std::uint32_t>, kSiteCount> failCount_{};
  std::atomic<bool> siteGroupEnabled_{true};
  std::atomic<bool> stopAll_{false};
  std::atomic<bool> keyRunStop_{false};
  std::atomic<std::int32_t> autoRunInterval_{500};
  std::atomic<bool> ignoreInsertion_{false};
  std::atomic<unsigned> statisticsUpdates_{0};
  std::atomic<unsigned> processMessagesCalls_{0};

  mutable std::mutex mutex_;  // guards the texts, the hook and the record
  std::array<std::string, kSiteCount> hintText_;
  std::function<void()> hook_;
  std::vector<HostCall> calls_;
};
