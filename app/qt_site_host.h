#pragma once
// The windows' side of SiteHost. The panel model has stored every change already; this host
// draws it on the UI thread in call order: changes go into one FIFO that the UI thread drains
// (a change made on the UI thread first runs what is still queued, then itself). The main
// window's changes (the site group, the statistics) go to the main window through the same
// FIFO, behind the counter changes they sum up.
#include <QObject>
#include <array>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "site/site_host.h"
#include "site/site_status.h"

class TMainForm;
class TSiteFrame;

class QtSiteHost final : public QObject, public SiteHost {
  Q_OBJECT
 public:
  explicit QtSiteHost(QObject* parent = nullptr);
  ~QtSiteHost() override;

  void SetFrame(int site, TSiteFrame* frame);  // UI thread, before any worker starts
  TSiteFrame* Frame(int site) const;
  void SetMainWindow(TMainForm* window) { mainWindow_ = window; }

  // SiteHost.
  void Show(const PanelEvent& event) override;
  void ProcessMessages() override;
  void WaitForMessages(std::chrono::milliseconds limit) override;
  void Wake() override;
  void WaitForWake(std::uint64_t seen, std::chrono::milliseconds limit) override;
  // Shown on the UI thread; a worker waits for the answer there.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void RequestExit() override;

 signals:
  // Queued to the UI thread: the program ends in order.
  void ExitRequested();

 public:
  // Runs `work` on the UI thread after every change queued before it (any thread).
  void Post(std::function<void()> work);
  // UI thread: runs everything queued so far.
  void Drain();

 private:
  bool OnUiThread() const;
  TSiteFrame* FrameOrNull(int site) const;
  void Draw(const PanelEvent& event);

  std::array<TSiteFrame*, kSiteCount> frames_{};
  TMainForm* mainWindow_ = nullptr;

  std::mutex mutex_;  // guards queue_ and drainPosted_
  std::deque<std::function<void()>> queue_;
  bool drainPosted_ = false;
  bool draining_ = false;  // UI thread only
};
