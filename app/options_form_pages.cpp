// The options window's pages and controls. Geometry follows the window's 576 × 285 client area:
// the page list on the left, the pages beside it, the progress bar along the bottom edge.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTextEdit>

#include "app/options_form.h"
#include "app/options_form_widgets.h"
#include "support/system_ini.h"

namespace {
constexpr int kClientWidth = 576;
constexpr int kClientHeight = 285;
constexpr int kListWidth = 120;
constexpr int kBarHeight = 14;
constexpr int kPageWidth = kClientWidth - kListWidth - 8;
constexpr int kPageHeight = kClientHeight - kBarHeight - 4;

const char* const kPageOrder[] = {"Log Settings", "Self Test", "Data Buffer", "Information",
                                  "BIOS Update",  "Auto Run",  "SDCard",      "Debug"};

template <typename W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect geometry,
                        bool enabled) {
  auto* button = Named(new QPushButton(QString::fromLatin1(text), parent), name);
  button->setGeometry(geometry);
  button->setEnabled(enabled);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect geometry) {
  auto* label = Named(new QLabel(QString::fromLatin1(text), parent), name);
  label->setGeometry(geometry);
  return label;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* caption, QRect geometry) {
  auto* group = Named(new QGroupBox(QString::fromLatin1(caption), parent), name);
  group->setGeometry(geometry);
  return group;
}
}  // namespace

void TOptionsForm::BuildWindow() {
  setWindowTitle(QStringLiteral("Options"));
  setFixedSize(kClientWidth, kClientHeight);
  pageList = Named(new QListWidget(this), "ListBox1");
  pageList->setGeometry(4, 4, kListWidth - 4, kPageHeight - 4);
  for (const char* page : kPageOrder) pageList->addItem(QString::fromLatin1(page));
  pageStack = Named(new QStackedWidget(this), "PageControl1");
  pageStack->setGeometry(kListWidth + 4, 4, kPageWidth, kPageHeight - 4);
  progressBar = Named(new QProgressBar(this), "ProgressBar1");
  progressBar->setGeometry(0, kClientHeight - kBarHeight, kClientWidth, kBarHeight);
  progressBar->setRange(0, 100);
  progressBar->setValue(0);
  progressBar->setTextVisible(false);

  BuildLogSettingsPage();
  BuildSelfTestPage();
  BuildDataBufferPage();
  BuildInformationPage();
  BuildBiosUpdatePage();
  BuildAutoRunPage();
  BuildSdCardPage();
  BuildDebugPage();
}

QWidget* TOptionsForm::AddPage(const QString& caption) {
  auto* page = new QWidget(pageStack);
  page->setObjectName(QStringLiteral("TabSheet") + QString::number(pageStack->count() + 1));
  page->setProperty("caption", caption);  // the page list finds its page by this text
  pageStack->addWidget(page);
  return page;
}

void TOptionsForm::BuildLogSettingsPage() {
  QWidget* page = AddPage(QStringLiteral("Log Settings"));
  logFolderGroup = MakeGroup(page, "GroupBox1", " Log File Location ", QRect(4, 0, 436, 52));
  logFolderEdit = Named(new QLineEdit(logFolderGroup), "Edit1");
  logFolderEdit->setReadOnly(true);
  logFolderEdit->setGeometry(8, 20, 330, 24);
  browseLogFolderButton =
      MakeButton(logFolderGroup, "Button1", "Browse", QRect(344, 19, 84, 26), true);
  clearingSelectionRadioGroup = new TRadioGroup(
      QStringLiteral("RadioGroup1"), QStringLiteral(" Message Box Clearing Selection "),
      {QStringLiteral("Auto Clear"), QStringLiteral("Auto Clear and Save")}, page);
  clearingSelectionRadioGroup->setGeometry(4, 56, 216, 84);
  messageLimitGroup =
      MakeGroup(page, "GroupBox2", " Message Limit = 10000  lines", QRect(4, 144, 436, 72));
  messageLimitTrackBar = Named(new QSlider(Qt::Horizontal, messageLimitGroup), "TrackBar1");
  messageLimitTrackBar->setGeometry(8, 20, 420, 24);
  messageLimitTrackBar->setRange(0, SettingScale::LimitMaxPosition);
  messageLimitTrackBar->setPageStep(1);
  messageLimitTrackBar->setTickPosition(QSlider::TicksBelow);
  messageLimitMinLabel = MakeLabel(messageLimitGroup, "Label1", "10000", QRect(8, 46, 60, 18));
  messageLimitMaxLabel = MakeLabel(messageLimitGroup, "Label2", "50000", QRect(380, 46, 52, 18));
  LogDisplayModeRadioGroup = new TRadioGroup(
      QStringLiteral("LogDisplayModeRadioGroup"), QStringLiteral("Display Mode"),
      {QStringLiteral("None"), QStringLiteral("Essential"), QStringLiteral("All")}, page);
  LogDisplayModeRadioGroup->setGeometry(224, 56, 216, 84);
}

void TOptionsForm::BuildSelfTestPage() {
  QWidget* page = AddPage(QStringLiteral("Self Test"));
  selfTestSiteList = new TSiteCheckList(QStringLiteral("CheckListBox1"), page);
  selfTestSiteList->setGeometry(4, 4, 110, 180);
  selfTestExecuteButton = MakeButton(page, "Button2", "Execute", QRect(4, 190, 110, 30), true);
  flashLedButton = MakeButton(page, "Button5", "Flash LED", QRect(4, 224, 110, 30), true);
  QGroupBox* display = MakeGroup(page, "GroupBox3", " Display ", QRect(120, 0, 320, 256));
  selfTestDisplay = Named(new QTextEdit(display), "RichEdit1");
  selfTestDisplay->setReadOnly(true);
  selfTestDisplay->setGeometry(8, 20, 304, 228);
}

void TOptionsForm::BuildDataBufferPage() {
  QWidget* page = AddPage(QStringLiteral("Data Buffer"));
  bufferSelectRadioGroup =
      new TRadioGroup(QStringLiteral("RadioGroup2"), QStringLiteral(" Buffer Select "),
                      {QStringLiteral("SDRAM"), QStringLiteral("SDCard")}, page);
  bufferSelectRadioGroup->setGeometry(4, 0, 216, 84);
}

void TOptionsForm::BuildInformationPage() {
  QWidget* page = AddPage(QStringLiteral("Information"));
  informationSiteList = new TSiteCheckList(QStringLiteral("CheckListBox2"), page);
  informationSiteList->setGeometry(4, 4, 110, 180);
  QGroupBox* display = MakeGroup(page, "GroupBox4", " Display ", QRect(120, 0, 320, 150));
  MakeLabel(display, "Label3", "BIOS Number   : ", QRect(8, 24, 130, 20));
  MakeLabel(display, "Label4", "BIOS Version  : ", QRect(8, 54, 130, 20));
  MakeLabel(display, "Label5", "Series Number : ", QRect(8, 84, 130, 20));
  MakeLabel(display, "Label14", "Date Time ID  :", QRect(8, 114, 130, 20));
  biosNumberLabel = MakeLabel(display, "Label6", "", QRect(140, 24, 170, 20));
  biosVersionLabel = MakeLabel(display, "Label7", "", QRect(140, 54, 170, 20));
  seriesNumberLabel = MakeLabel(display, "Label8", "", QRect(140, 84, 170, 20));
  dateTimeIdLabel = MakeLabel(display, "Label15", "", QRect(140, 114, 170, 20));
  informationExecuteButton = MakeButton(page, "Button3", "Execute", QRect(4, 190, 110, 30), true);
  informationStopAllButton =
      MakeButton(page, "Button4", "Stop All", QRect(120, 190, 110, 30), false);
  informationStopAllButton->hide();
}

void TOptionsForm::BuildBiosUpdatePage() {
  QWidget* page = AddPage(QStringLiteral("BIOS Update"));
  biosUpdateSiteList = new TSiteCheckList(QStringLiteral("CheckListBox3"), page);
  biosUpdateSiteList->setGeometry(4, 4, 110, 180);
  QGroupBox* display = MakeGroup(page, "GroupBox5", " Display ", QRect(120, 0, 320, 80));
  MakeLabel(display, "Label9", "Update Programmers Firmware to Version  :", QRect(8, 24, 250, 20));
  firmwareVersionLabel = MakeLabel(display, "Label10", "", QRect(8, 48, 300, 20));
  biosUpdateExecuteButton = MakeButton(page, "Button6", "Execute", QRect(4, 190, 110, 30), false);
}

void TOptionsForm::BuildAutoRunPage() {
  QWidget* page = AddPage(QStringLiteral("Auto Run"));
  intervalGroup = MakeGroup(page, "GroupBox26", " Interval Time = 500ms ", QRect(4, 0, 436, 72));
  intervalTrackBar = Named(new QSlider(Qt::Horizontal, intervalGroup), "TrackBar2");
  intervalTrackBar->setGeometry(8, 20, 420, 24);
  intervalTrackBar->setRange(0, SettingScale::IntervalMaxPosition);
  intervalTrackBar->setPageStep(1);
  intervalMinLabel = MakeLabel(intervalGroup, "Label16", "200ms", QRect(8, 46, 60, 18));
  intervalMaxLabel = MakeLabel(intervalGroup, "Label17", "5000ms", QRect(376, 46, 56, 18));
  ignoreInsertionCheckBox =
      Named(new QCheckBox(QStringLiteral("Ignore Insertion Detection"), page), "CheckBox1");
  ignoreInsertionCheckBox->setGeometry(8, 80, 260, 24);
}

void TOptionsForm::BuildSdCardPage() {
  QWidget* page = AddPage(QStringLiteral("SDCard"));
  sdCardSiteList = new TSiteCheckList(QStringLiteral("CheckListBox4"), page);
  sdCardSiteList->setGeometry(4, 4, 110, 180);
  sdCardPanel = Named(new QFrame(page), "Panel1");
  sdCardPanel->setGeometry(120, 0, 320, 256);
  MakeLabel(sdCardPanel, "Label12", "SDCard Free Space:", QRect(8, 8, 140, 20));
  sdCardFreeSpaceLabel = MakeLabel(sdCardPanel, "Label13", "", QRect(150, 8, 160, 20));
  sdCardDetectButton = MakeButton(sdCardPanel, "Button13", "Detect", QRect(8, 40, 140, 30), true);
  sdCardTestButton = MakeButton(sdCardPanel, "Button12", "Test", QRect(8, 76, 140, 30), true);
  sdCardFreeSpaceButton =
      MakeButton(sdCardPanel, "Button14", "Free Space", QRect(8, 112, 140, 30), true);
  sdCardFilterButton = MakeButton(sdCardPanel, "Button15", "Filter", QRect(8, 148, 140, 30), true);
  sdCardQuickFormatButton =
      MakeButton(sdCardPanel, "Button16", "Quick Format", QRect(8, 184, 140, 30), true);
}

void TOptionsForm::BuildDebugPage() {
  QWidget* page = AddPage(QStringLiteral("Debug"));
  debugResetButton = MakeButton(page, "Button7", "Reset", QRect(4, 4, 100, 28), true);
  QGroupBox* loop = MakeGroup(page, "GroupBox6", "Loop", QRect(110, 0, 330, 110));
  loopCountEdit = Named(new QLineEdit(QStringLiteral("1"), loop), "Edit2");
  loopCountEdit->setGeometry(8, 20, 80, 24);
  loopCounterLabel = MakeLabel(loop, "Label11", "0", QRect(96, 20, 80, 24));
  loopRunProgramButton = MakeButton(loop, "Button8", "Run Program", QRect(8, 52, 100, 28), true);
  loopSelfTestButton = MakeButton(loop, "Button9", "SelfTest", QRect(112, 52, 100, 28), true);
  loopSetHardwareButton =
      MakeButton(loop, "Button10", "Set Hardware", QRect(216, 52, 100, 28), true);
  setHardwareButton = MakeButton(page, "Button11", "Set Hardware", QRect(4, 36, 100, 28), true);
  ioModeButton = MakeButton(page, "Button17", "IO Mode", QRect(4, 68, 100, 28), true);
  QGroupBox* keyRun = MakeGroup(page, "GroupBox7", "Key Run", QRect(110, 114, 330, 60));
  keyRunStartButton = MakeButton(keyRun, "Button18", "Start", QRect(8, 22, 100, 28), true);
  keyRunStopButton = MakeButton(keyRun, "Button19", "Stop", QRect(112, 22, 100, 28), false);
  burnInSelfTestButton =
      MakeButton(page, "Button22", "Burn In SelfTest", QRect(4, 180, 130, 28), true);
}
