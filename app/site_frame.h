#pragma once
// The status panel of one site: site number, selection check box, the state word, the large
// PASS/FAIL field, the pass and fail counters and a progress bar.
//
// It only draws: the facts live in the panel model (SitePanels), whose changes the Qt site host
// brings here on the UI thread. A click on the check box goes back to the model.
#include <QFrame>
#include <cstdint>

#include "site/panel_event.h"
#include "site/site_status.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class SitePanels;

class TSiteFrame : public QFrame {
  Q_OBJECT
 public:
  static constexpr int kWidth = 188;
  static constexpr int kHeight = 187;

  explicit TSiteFrame(QWidget* parent = nullptr);

  // Binds the check box to the model's selection of `site` (a user's click changes it there).
  void Bind(SitePanels* panels, int site);

  // UI thread: what the panel shows.
  void SetPassCount(std::uint32_t n);
  void SetFailCount(std::uint32_t n);
  void SetStatus(std::uint8_t s);  // above 7: repaint only
  void SetID(std::uint32_t n);
  void SetChecked(bool b);
  void SetBigStatus(std::uint8_t s);
  // Draws one change of the model.
  void Draw(const PanelEvent& event);

  // Remembers the progress bar's normal mode; from then on the states that restore the bar give
  // it back. Every state but siWorking ends a marquee and its animation.
  void SaveBarStyle() { barStyleSaved_ = true; }
  bool MarqueeRunning() const { return marquee_; }
  int MarqueeStarts() const { return marqueeStarts_; }

  // Published controls; each comment gives the objectName that tests and users find it by.
  QCheckBox* siteCheckBox;    // CB
  QLabel* siteNumberLabel;    // LB_CB
  QLabel* resultFieldLabel;   // LB_PFStatus
  QLabel* passCountLabel;     // LB_Pass
  QLabel* failCountLabel;     // LB_Fail
  QLabel* stateLabel;         // LB_Status
  QProgressBar* progressBar;  // PBar
  QFrame* framePanel;         // Panel1

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

  SitePanels* panels_ = nullptr;
  int site_ = -1;
  bool barStyleSaved_ = false;
  bool marquee_ = false;
  int marqueeStarts_ = 0;
};

// Places panel `index` (0..7) in a group of the given size: sites 1 to 4 on the bottom row from
// left to right, 5 to 8 above them.
QPoint SitePanelPosition(int index, int groupWidth, int groupHeight);
