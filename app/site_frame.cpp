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
  framePanel = new QFrame(this);
  framePanel->setObjectName(QStringLiteral("Panel1"));
  framePanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  framePanel->setLineWidth(2);
  framePanel->setGeometry(0, 0, kWidth, kHeight);
  framePanel->setAutoFillBackground(true);

  siteCheckBox = new QCheckBox(framePanel);
  siteCheckBox->setObjectName(QStringLiteral("CB"));
  siteCheckBox->setGeometry(8, 8, 20, 24);
  siteCheckBox->setEnabled(false);
  connect(siteCheckBox, &QCheckBox::clicked, this, &TSiteFrame::CBClick);

  siteNumberLabel =
      MakeLabel(framePanel, "LB_CB", "Site #0", ArialPx(23, true), QRect(30, 5, 150, 30));
  siteNumberLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  resultFieldLabel = MakeLabel(framePanel, "LB_PFStatus", kIdleField, ArialPx(51, true, true),
                               QRect(6, 36, kWidth - 12, 58));
  passCountLabel =
      MakeLabel(framePanel, "LB_Pass", "Pass:0", ArialPx(21, false), QRect(4, 97, 90, 26));
  failCountLabel =
      MakeLabel(framePanel, "LB_Fail", "Fail:0", ArialPx(21, false), QRect(94, 97, 90, 26));
  stateLabel =
      MakeLabel(framePanel, "LB_Status", "NONE", ArialPx(29, true), QRect(4, 124, 180, 36));

  progressBar = new QProgressBar(framePanel);
  progressBar->setObjectName(QStringLiteral("PBar"));
  progressBar->setRange(0, kBarMax);
  progressBar->setValue(0);
  progressBar->setTextVisible(false);
  progressBar->setGeometry(6, kHeight - 24, kWidth - 12, 18);
  progressBar->setEnabled(false);
}

void TSiteFrame::Bind(SitePanels* panels, int site) {
  panels_ = panels;
  site_ = site;
}

void TSiteFrame::SetPassCount(std::uint32_t n) {
  passCountLabel->setText(QStringLiteral("Pass:%1").arg(n));
}

void TSiteFrame::SetFailCount(std::uint32_t n) {
  failCountLabel->setText(QStringLiteral("Fail:%1").arg(n));
}

void TSiteFrame::SetID(std::uint32_t n) {
  siteNumberLabel->setText(QStringLiteral("Site #%1").arg(n));
}

void TSiteFrame::SetChecked(bool b) {
  siteCheckBox->setChecked(b);
}

void TSiteFrame::CBClick() {
  if (panels_ != nullptr) panels_->SetChecked(site_, siteCheckBox->isChecked());
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
      siteCheckBox->setChecked(false);
      ShowBigFieldIdle(false);
      SetCountersEnabled(false);
      ShowStateWord("NONE", 0, true, false);
      RestoreBar(false, false);
      break;
    case siReady:
      SetSelectable(true);
      siteCheckBox->setChecked(true);
      resultFieldLabel->setText(QString::fromLatin1(kIdleField));
      resultFieldLabel->setEnabled(false);
      SetCountersEnabled(true);
      ShowStateWord("READY", Colour::Magenta, false, true);
      RestoreBar(true, false);
      break;
    case siWorking:
      SetSelectable(false);
      ShowBigFieldIdle(false);
      SetCountersEnabled(true);
      ShowStateWord("WORKING", Colour::Orange, false, true);
      progressBar->setEnabled(false);
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
      resultFieldLabel->setEnabled(true);
      SetCountersEnabled(true);
      ShowStateWord("Remove IC", Colour::Black, false, true);
      progressBar->setEnabled(false);
      break;
    case siPut:
      SetSelectable(false);
      resultFieldLabel->setText(QString::fromLatin1(kIdleField));
      resultFieldLabel->setEnabled(true);
      SetCountersEnabled(true);
      ShowStateWord("Insert IC", Colour::Blue, false, true);
      progressBar->setEnabled(false);
      break;
    case siPushKey:
      SetSelectable(false);
      // A result shown before the key run stays readable; an idle field stays grey.
      resultFieldLabel->setEnabled(resultFieldLabel->text() != QLatin1String(kIdleField));
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
  resultFieldLabel->setText(QString::fromLatin1(text));
  QPalette palette = resultFieldLabel->palette();
  palette.setColor(QPalette::Window, ColourFromBgr(background));
  resultFieldLabel->setPalette(palette);
  resultFieldLabel->setAutoFillBackground(true);
  SetTextColour(resultFieldLabel, Colour::White);
  resultFieldLabel->setEnabled(enabled);
}

// "----" on the panel's own background.
void TSiteFrame::ShowBigFieldIdle(bool enabled) {
  resultFieldLabel->setText(QString::fromLatin1(kIdleField));
  resultFieldLabel->setAutoFillBackground(false);
  resultFieldLabel->setEnabled(enabled);
}

void TSiteFrame::ShowStateWord(const char* text, std::uint32_t colour, bool keepColour,
                               bool enabled) {
  stateLabel->setText(QString::fromLatin1(text));
  if (!keepColour) SetTextColour(stateLabel, colour);
  stateLabel->setEnabled(enabled);
}

void TSiteFrame::SetCountersEnabled(bool on) {
  passCountLabel->setEnabled(on);
  failCountLabel->setEnabled(on);
}

void TSiteFrame::SetSelectable(bool enabled) {
  siteCheckBox->setEnabled(enabled);
  siteNumberLabel->setEnabled(enabled);
}

void TSiteFrame::RestoreBar(bool enabled, bool full) {
  StopMarquee();
  if (barStyleSaved_) progressBar->setRange(0, kBarMax);
  progressBar->setEnabled(enabled);
  progressBar->setValue(full ? progressBar->maximum() : 0);
}

// The style runs the busy indicator's animation as a child of the bar and stops it only when it
// paints the bar in some states (not, for instance, at the minimum): left alone, it would tick
// on in an idle panel. Deleting it takes it out of the style's bookkeeping.
void TSiteFrame::StopMarquee() {
  if (marquee_) {
    progressBar->setRange(0, kBarMax);
    progressBar->setValue(0);
    marquee_ = false;
  }
  qDeleteAll(progressBar->findChildren<QAbstractAnimation*>(Qt::FindDirectChildrenOnly));
}

// A second siWorking leaves the running marquee alone, so the animation does not jump.
void TSiteFrame::StartMarquee() {
  if (marquee_) return;
  progressBar->setRange(0, 0);  // busy indicator: Qt animates it by itself
  progressBar->setValue(1);
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
