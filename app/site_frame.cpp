#include "app/site_frame.h"

#include <QAbstractAnimation>
#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QString>

#include "log/view/log_colour.h"
#include "site/site_panels.h"

namespace {
namespace Colour {
constexpr std::uint32_t Green = 0x008000;
constexpr std::uint32_t Red = 0x0000FF;
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Orange = 0x4080FF;
constexpr std::uint32_t Magenta = 0xFF00FF;
constexpr std::uint32_t Blue = 0xFF0000;  // RGB 0, 0, 255
constexpr std::uint32_t Cyan = 0xFFFF00;
constexpr std::uint32_t Black = 0x000000;
}  // namespace Colour

constexpr const char* kIdleField = "----";
constexpr int kBarMax = 100;

QFont ArialPx(int px, bool bold, bool underline = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(px);
  font.setBold(bold);
  font.setUnderline(underline);
  return font;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, const QFont& font,
                  const QRect& geometry) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(geometry);
  label->setEnabled(false);
  return label;
}

// Only the enabled looks get the colour: a disabled label stays grey, whatever its font colour.
void SetTextColour(QLabel* label, std::uint32_t bgr) {
  QPalette palette = label->palette();
  palette.setColor(QPalette::Active, QPalette::WindowText, ColourFromBgr(bgr));
  palette.setColor(QPalette::Inactive, QPalette::WindowText, ColourFromBgr(bgr));
  label->setPalette(palette);
}
}  // namespace

TSiteFrame::TSiteFrame(QWidget* parent) : QFrame(parent) {
  setFixedSize(kWidth, kHeight);
  BuildControls();
}

void TSiteFrame::BuildControls() {
  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(2);
  Panel1->setGeometry(0, 0, kWidth, kHeight);
  Panel1->setAutoFillBackground(true);

  CB = new QCheckBox(Panel1);
  CB->setObjectName(QStringLiteral("CB"));
  CB->setGeometry(8, 8, 20, 24);
  CB->setEnabled(false);
  connect(CB, &QCheckBox::clicked, this, &TSiteFrame::CBClick);

  LB_CB = MakeLabel(Panel1, "LB_CB", "Site #0", ArialPx(23, true), QRect(30, 5, 150, 30));
  LB_CB->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  LB_PFStatus = MakeLabel(Panel1, "LB_PFStatus", kIdleField, ArialPx(51, true, true),
                          QRect(6, 36, kWidth - 12, 58));
  LB_Pass = MakeLabel(Panel1, "LB_Pass", "Pass:0", ArialPx(21, false), QRect(4, 97, 90, 26));
  LB_Fail = MakeLabel(Panel1, "LB_Fail", "Fail:0", ArialPx(21, false), QRect(94, 97, 90, 26));
  LB_Status = MakeLabel(Panel1, "LB_Status", "NONE", ArialPx(29, true), QRect(4, 124, 180, 36));

  PBar = new QProgressBar(Panel1);
  PBar->setObjectName(QStringLiteral("PBar"));
  PBar->setRange(0, kBarMax);
  PBar->setValue(0);
  PBar->setTextVisible(false);
  PBar->setGeometry(6, kHeight - 24, kWidth - 12, 18);
  PBar->setEnabled(false);
}

void TSiteFrame::Bind(SitePanels* panels, int site) {
  panels_ = panels;
  site_ = site;
}

void TSiteFrame::SetPassCount(std::uint32_t n) {
  LB_Pass->setText(QStringLiteral("Pass:%1").arg(n));
}

void TSiteFrame::SetFailCount(std::uint32_t n) {
  LB_Fail->setText(QStringLiteral("Fail:%1").arg(n));
}

void TSiteFrame::SetID(std::uint32_t n) {
  LB_CB->setText(QStringLiteral("Site #%1").arg(n));
}

void TSiteFrame::SetChecked(bool b) {
  CB->setChecked(b);
}

void TSiteFrame::CBClick() {
  if (panels_ != nullptr) panels_->SetChecked(site_, CB->isChecked());
}

void TSiteFrame::Draw(const PanelEvent& event) {
  switch (event.kind) {
    case PanelEvent::Kind::Status:
      SetStatus(static_cast<std::uint8_t>(event.value));
      break;
    case PanelEvent::Kind::Checked:
      SetChecked(event.value != 0);
      break;
    case PanelEvent::Kind::BigStatus:
      SetBigStatus(static_cast<std::uint8_t>(event.value));
      break;
    case PanelEvent::Kind::PassCount:
      SetPassCount(event.value);
      break;
    case PanelEvent::Kind::FailCount:
      SetFailCount(event.value);
      break;
    case PanelEvent::Kind::HintText:
      setToolTip(QString::fromStdString(event.text));
      break;
    default:
      break;  // the main window's events
  }
}

void TSiteFrame::SetStatus(std::uint8_t s) {
  // Only a working panel animates: an idle one must cost nothing.
  if (s != siWorking && s <= siPushKey) StopMarquee();
  switch (s) {
    case siNone:
      SetSelectable(false);
      CB->setChecked(false);
      ShowBigFieldIdle(false);
      SetCountersEnabled(false);
      ShowStateWord("NONE", 0, true, false);
      RestoreBar(false, false);
      break;
    case siReady:
      SetSelectable(true);
      CB->setChecked(true);
      LB_PFStatus->setText(QString::fromLatin1(kIdleField));
      LB_PFStatus->setEnabled(false);
      SetCountersEnabled(true);
      ShowStateWord("READY", Colour::Magenta, false, true);
      RestoreBar(true, false);
      break;
    case siWorking:
      SetSelectable(false);
      ShowBigFieldIdle(false);
      SetCountersEnabled(true);
      ShowStateWord("WORKING", Colour::Orange, false, true);
      PBar->setEnabled(false);
      StartMarquee();
      break;
    case siPass:
    case siFail: {
      const bool pass = s == siPass;
      SetSelectable(true);
      ShowBigField(pass ? "PASS" : "FAIL", pass ? Colour::Green : Colour::Red, true);
      SetCountersEnabled(true);
      ShowStateWord("", pass ? Colour::Green : Colour::Red, false, true);
      RestoreBar(true, pass);
      break;
    }
    case siTake:
      SetSelectable(false);
      LB_PFStatus->setEnabled(true);
      SetCountersEnabled(true);
      ShowStateWord("Remove IC", Colour::Black, false, true);
      PBar->setEnabled(false);
      break;
    case siPut:
      SetSelectable(false);
      LB_PFStatus->setText(QString::fromLatin1(kIdleField));
      LB_PFStatus->setEnabled(true);
      SetCountersEnabled(true);
      ShowStateWord("Insert IC", Colour::Blue, false, true);
      PBar->setEnabled(false);
      break;
    case siPushKey:
      SetSelectable(false);
      // A result shown before the key run stays readable; an idle field stays grey.
      LB_PFStatus->setEnabled(LB_PFStatus->text() != QLatin1String(kIdleField));
      SetCountersEnabled(true);
      ShowStateWord("Push Key", Colour::Cyan, false, true);
      break;
    default:
      break;  // not a state: nothing changes but the picture
  }
  repaint();
}

void TSiteFrame::SetBigStatus(std::uint8_t s) {
  if (s == siPass || s == siFail) {
    const bool pass = s == siPass;
    ShowBigField(pass ? "PASS" : "FAIL", pass ? Colour::Green : Colour::Red, true);
    RestoreBar(true, pass);
  } else {
    ShowBigFieldIdle(false);
  }
}

void TSiteFrame::ShowBigField(const char* text, std::uint32_t background, bool enabled) {
  LB_PFStatus->setText(QString::fromLatin1(text));
  QPalette palette = LB_PFStatus->palette();
  palette.setColor(QPalette::Window, ColourFromBgr(background));
  LB_PFStatus->setPalette(palette);
  LB_PFStatus->setAutoFillBackground(true);
  SetTextColour(LB_PFStatus, Colour::White);
  LB_PFStatus->setEnabled(enabled);
}

// "----" on the panel's own background.
void TSiteFrame::ShowBigFieldIdle(bool enabled) {
  LB_PFStatus->setText(QString::fromLatin1(kIdleField));
  LB_PFStatus->setAutoFillBackground(false);
  LB_PFStatus->setEnabled(enabled);
}

void TSiteFrame::ShowStateWord(const char* text, std::uint32_t colour, bool keepColour,
                               bool enabled) {
  LB_Status->setText(QString::fromLatin1(text));
  if (!keepColour) SetTextColour(LB_Status, colour);
  LB_Status->setEnabled(enabled);
}

void TSiteFrame::SetCountersEnabled(bool on) {
  LB_Pass->setEnabled(on);
  LB_Fail->setEnabled(on);
}

void TSiteFrame::SetSelectable(bool enabled) {
  CB->setEnabled(enabled);
  LB_CB->setEnabled(enabled);
}

void TSiteFrame::RestoreBar(bool enabled, bool full) {
  StopMarquee();
  if (barStyleSaved_) PBar->setRange(0, kBarMax);
  PBar->setEnabled(enabled);
  PBar->setValue(full ? PBar->maximum() : 0);
}

// The style runs the busy indicator's animation as a child of the bar and stops it only when it
// paints the bar in some states (not, for instance, at the minimum): left alone, it would tick
// on in an idle panel. Deleting it takes it out of the style's bookkeeping.
void TSiteFrame::StopMarquee() {
  if (marquee_) {
    PBar->setRange(0, kBarMax);
    PBar->setValue(0);
    marquee_ = false;
  }
  qDeleteAll(PBar->findChildren<QAbstractAnimation*>(Qt::FindDirectChildrenOnly));
}

// A second siWorking leaves the running marquee alone, so the animation does not jump.
void TSiteFrame::StartMarquee() {
  if (marquee_) return;
  PBar->setRange(0, 0);  // busy indicator: Qt animates it by itself
  PBar->setValue(1);
  marquee_ = true;
  ++marqueeStarts_;
}

QPoint SitePanelPosition(int index, int groupWidth, int groupHeight) {
  const int w = TSiteFrame::kWidth;
  const int h = TSiteFrame::kHeight;
  constexpr int kPerRow = 4;
  const int column = index % kPerRow;
  const int row = index / kPerRow;
  const int cols = groupWidth / w;
  const int hGap = (groupWidth - w * cols) / 5;
  const int rows = groupHeight / h;
  const int vGap = (groupHeight - h * rows) / (rows + 3);
  const int left = (column + 1) * hGap + w * column;
  const int top = groupHeight - (row + 1) * (h + vGap) - 4;
  return {left, top};
}
