#pragma once
// The status panel of one site: site number, selection check box, the state word, the large
// PASS/FAIL field, the pass and fail counters and a progress bar.
//
// The facts other threads read (Status, Checked, the counters) are atomics. The Store* calls
// change them at once from any thread; the Show* calls change the controls and run on the UI
// thread only. The Set* calls of the panel do both and are for the UI thread; workers go through
// QtSiteHost, which stores at call time and shows through its ordered queue.
#include <QFrame>
#include <atomic>
#include <cstdint>

#include "site/site_status.h"

class QCheckBox;
class QLabel;
class QProgressBar;

class TSiteFrame : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kWidth = 188;
  static constexpr int kHeight = 187;

  explicit TSiteFrame(QWidget* parent = nullptr);

  // UI thread: store and show.
  void SetPassCount(std::uint32_t n);
  void SetFailCount(std::uint32_t n);
  void SetStatus(std::uint8_t s);  // above 7: repaint only, nothing stored
  void SetID(std::uint32_t n);
  void SetChecked(bool b);
  void SetBigStatus(std::uint8_t s);  // display only

  // Any thread.
  std::uint32_t PassCount() const { return passCount_.load(); }
  std::uint32_t FailCount() const { return failCount_.load(); }
  TSiteStatus Status() const { return static_cast<TSiteStatus>(status_.load()); }
  std::uint32_t ID() const { return id_.load(); }
  bool Checked() const { return checked_.load(); }

  // Any thread: the stored part of the setters.
  void StorePassCount(std::uint32_t n) { passCount_.store(n); }
  void StoreFailCount(std::uint32_t n) { failCount_.store(n); }
  void StoreStatus(std::uint8_t s);  // also the selection that siNone and siReady imply
  void StoreChecked(bool b) { checked_.store(b); }

  // UI thread: the shown part of the setters.
  void ShowPassCount(std::uint32_t n);
  void ShowFailCount(std::uint32_t n);
  void ShowStatus(std::uint8_t s);
  void ShowID(std::uint32_t n);
  void ShowChecked(bool b);

  // Remembers the progress bar's normal mode; from then on the states that restore the bar give
  // it back. Every state but siWorking ends a marquee and its animation.
  void SaveBarStyle() { barStyleSaved_ = true; }
  bool MarqueeRunning() const { return marquee_; }
  int MarqueeStarts() const { return marqueeStarts_; }

  QCheckBox* CB;
  QLabel* LB_CB;
  QLabel* LB_PFStatus;
  QLabel* LB_Pass;
  QLabel* LB_Fail;
  QLabel* LB_Status;
  QProgressBar* PBar;
  QFrame* Panel1;

 public slots:
  void CBClick();  // a user's click: Checked takes the check box's state

 private:
  void BuildControls();
  void ShowBigField(const char* text, std::uint32_t background, bool enabled);
  void ShowBigFieldIdle(bool enabled);
  void ShowStateWord(const char* text, std::uint32_t colour, bool keepColour, bool enabled);
  void SetCountersEnabled(bool on);
  void SetSelectable(bool enabled);
  void RestoreBar(bool enabled, bool full);
  void StartMarquee();
  void StopMarquee();

  std::atomic<std::uint32_t> passCount_{0};
  std::atomic<std::uint32_t> failCount_{0};
  std::atomic<std::uint8_t> status_{siNone};
  std::atomic<std::uint32_t> id_{0};
  std::atomic<bool> checked_{false};
  bool barStyleSaved_ = false;
  bool marquee_ = false;
  int marqueeStarts_ = 0;
};

// Places panel `index` (0..7) in a group of the given size: sites 1 to 4 on the bottom row from
// left to right, 5 to 8 above them.
QPoint SitePanelPosition(int index, int groupWidth, int groupHeight);
