#pragma once
// A SiteHost without windows, for the command-line front end and the tests: the panel model
// keeps every fact already, so this host only records the events it is shown (when asked to)
// and runs an optional hook on every ProcessMessages (tests act "from the UI" with it). A front
// end that reacts to the events derives from it and calls Show of this class first.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "site/site_host.h"

class HeadlessSiteHost : public SiteHost {
 public:
  explicit HeadlessSiteHost(bool record = false) : record_(record) {}

  void Show(const PanelEvent& event) override;
  void ProcessMessages() override;
  // Answers every box with the answer set (OK unless a test sets another) and records it.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void SetMessageAnswer(int answer) { messageAnswer_ = answer; }
  std::vector<std::string> MessageTexts() const;
  void RequestExit() override { exitRequested_ = true; }
  bool ExitRequested() const { return exitRequested_.load(); }

  void SetProcessMessagesHook(std::function<void()> hook);
  unsigned ProcessMessagesCalls() const { return processMessagesCalls_.load(); }
  unsigned StatisticsUpdates() const { return statisticsUpdates_.load(); }

  // The recorded events, in the order they were shown.
  std::vector<PanelEvent> Events() const;
  std::vector<PanelEvent> EventsFor(int site) const;
  void ClearEvents();

 private:
  const bool record_;
  std::atomic<unsigned> processMessagesCalls_{0};
  std::atomic<unsigned> statisticsUpdates_{0};
  mutable std::mutex mutex_;  // guards the hook and the record
  std::function<void()> hook_;
  std::vector<PanelEvent> events_;
  std::vector<std::string> messageTexts_;
  std::atomic<int> messageAnswer_{kBoxOk};
  std::atomic<bool> exitRequested_{false};
};
