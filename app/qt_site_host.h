#pragma once
// The windows' side of SiteHost. Every call a worker makes on a panel, the site group or the
// statistics is applied on the UI thread in call order: calls go into one FIFO that the UI thread
// drains (a call made on the UI thread first runs what is still queued, then itself). Status,
// Checked and the counters are stored at call time in the panel's atomics, so WaitForSites and
// the counting operations see them at once from any thread.
#include <QObject>
#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "site/site_host.h"

class TSiteFrame;

// What the workers read from the options window. TOptionsForm writes these whenever its
// controls change (TrackBar2, CheckBox1, the key-run "Stop" button), on the UI thread.
struct OptionsSnapshot {
  std::atomic<bool> KeyRunStopEnabled{false};
  std::atomic<std::int32_t> AutoRunInterval{500};  // 200 + 50 x TrackBar2 position
  std::atomic<bool> IgnoreInsertionDetection{false};
};

class QtSiteHost final : public QObject, public SiteHost {
  Q_OBJECT
 public:
  // The statistics and site-group calls go to these (set by TMainForm).
  struct MainWindowHooks {
    std::function<void(bool)> setSiteGroupEnabled;  // UI thread
    std::function<void()> updateStatistics;         // any thread; orders its own UI work
  };

  explicit QtSiteHost(QObject* parent = nullptr);
  ~QtSiteHost() override;

  void SetFrame(int site, TSiteFrame* frame);  // UI thread, before any worker starts
  TSiteFrame* Frame(int site) const;
  void SetMainWindowHooks(MainWindowHooks hooks) { hooks_ = std::move(hooks); }
  void SetStopAllEnabled(bool on) { stopAll_.store(on); }  // mirrors the button, UI thread
  OptionsSnapshot& Options() { return options_; }

  // SiteHost.
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
  bool KeyRunStopEnabled() const override { return options_.KeyRunStopEnabled.load(); }
  std::int32_t AutoRunInterval() const override { return options_.AutoRunInterval.load(); }
  bool IgnoreInsertionDetection() const override {
    return options_.IgnoreInsertionDetection.load();
  }

  // Runs `work` on the UI thread after every call queued before it (any thread).
  void Post(std::function<void()> work);
  // UI thread: runs everything queued so far.
  void Drain();

 private:
  bool OnUiThread() const;
  TSiteFrame* FrameOrNull(int site) const;

  std::array<TSiteFrame*, kSiteCount> frames_{};
  MainWindowHooks hooks_;
  std::atomic<bool> stopAll_{false};
  OptionsSnapshot options_;

  std::mutex mutex_;  // guards queue_ and drainPosted_
  std::deque<std::function<void()>> queue_;
  bool drainPosted_ = false;
  bool draining_ = false;  // UI thread only
};
