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
  ListBox1 = Named(new QListWidget(this), "ListBox1");
  ListBox1->setGeometry(4, 4, kListWidth - 4, kPageHeight - 4);
  for (const char* page : kPageOrder) ListBox1->addItem(QString::fromLatin1(page));
  PageControl1 = Named(new QStackedWidget(this), "PageControl1");
  PageControl1->setGeometry(kListWidth + 4, 4, kPageWidth, kPageHeight - 4);
  ProgressBar1 = Named(new QProgressBar(this), "ProgressBar1");
  ProgressBar1->setGeometry(0, kClientHeight - kBarHeight, kClientWidth, kBarHeight);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(false);

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
  auto* page = new QWidget(PageControl1);
  page->setObjectName(QStringLiteral("TabSheet") + QString::number(PageControl1->count() + 1));
  page->setProperty("caption", caption);  // the page list finds its page by this text
  PageControl1->addWidget(page);
  return page;
}

void TOptionsForm::BuildLogSettingsPage() {
  QWidget* page = AddPage(QStringLiteral("Log Settings"));
  GroupBox1 = MakeGroup(page, "GroupBox1", " Log File Location ", QRect(4, 0, 436, 52));
  Edit1 = Named(new QLineEdit(GroupBox1), "Edit1");
  Edit1->setReadOnly(true);
  Edit1->setGeometry(8, 20, 330, 24);
  Button1 = MakeButton(GroupBox1, "Button1", "Browse", QRect(344, 19, 84, 26), true);
  RadioGroup1 = new TRadioGroup(
      QStringLiteral("RadioGroup1"), QStringLiteral(" Message Box Clearing Selection "),
      {QStringLiteral("Auto Clear"), QStringLiteral("Auto Clear and Save")}, page);
  RadioGroup1->setGeometry(4, 56, 216, 84);
  GroupBox2 = MakeGroup(page, "GroupBox2", " Message Limit = 10000  lines", QRect(4, 144, 436, 72));
  TrackBar1 = Named(new QSlider(Qt::Horizontal, GroupBox2), "TrackBar1");
  TrackBar1->setGeometry(8, 20, 420, 24);
  TrackBar1->setRange(0, SettingScale::LimitMaxPosition);
  TrackBar1->setPageStep(1);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  Label1 = MakeLabel(GroupBox2, "Label1", "10000", QRect(8, 46, 60, 18));
  Label2 = MakeLabel(GroupBox2, "Label2", "50000", QRect(380, 46, 52, 18));
  LogDisplayModeRadioGroup = new TRadioGroup(
      QStringLiteral("LogDisplayModeRadioGroup"), QStringLiteral("Display Mode"),
      {QStringLiteral("None"), QStringLiteral("Essential"), QStringLiteral("All")}, page);
  LogDisplayModeRadioGroup->setGeometry(224, 56, 216, 84);
}

void TOptionsForm::BuildSelfTestPage() {
  QWidget* page = AddPage(QStringLiteral("Self Test"));
  CheckListBox1 = new TSiteCheckList(QStringLiteral("CheckListBox1"), page);
  CheckListBox1->setGeometry(4, 4, 110, 180);
  Button2 = MakeButton(page, "Button2", "Execute", QRect(4, 190, 110, 30), false);
  Button5 = MakeButton(page, "Button5", "Flash LED", QRect(4, 224, 110, 30), false);
  QGroupBox* display = MakeGroup(page, "GroupBox3", " Display ", QRect(120, 0, 320, 256));
  RichEdit1 = Named(new QTextEdit(display), "RichEdit1");
  RichEdit1->setReadOnly(true);
  RichEdit1->setGeometry(8, 20, 304, 228);
}

void TOptionsForm::BuildDataBufferPage() {
  QWidget* page = AddPage(QStringLiteral("Data Buffer"));
  RadioGroup2 = new TRadioGroup(QStringLiteral("RadioGroup2"), QStringLiteral(" Buffer Select "),
                                {QStringLiteral("SDRAM"), QStringLiteral("SDCard")}, page);
  RadioGroup2->setGeometry(4, 0, 216, 84);
}

void TOptionsForm::BuildInformationPage() {
  QWidget* page = AddPage(QStringLiteral("Information"));
  CheckListBox2 = new TSiteCheckList(QStringLiteral("CheckListBox2"), page);
  CheckListBox2->setGeometry(4, 4, 110, 180);
  QGroupBox* display = MakeGroup(page, "GroupBox4", " Display ", QRect(120, 0, 320, 150));
  MakeLabel(display, "Label3", "BIOS Number   : ", QRect(8, 24, 130, 20));
  MakeLabel(display, "Label4", "BIOS Version  : ", QRect(8, 54, 130, 20));
  MakeLabel(display, "Label5", "Series Number : ", QRect(8, 84, 130, 20));
  MakeLabel(display, "Label14", "Date Time ID  :", QRect(8, 114, 130, 20));
  Label6 = MakeLabel(display, "Label6", "", QRect(140, 24, 170, 20));
  Label7 = MakeLabel(display, "Label7", "", QRect(140, 54, 170, 20));
  Label8 = MakeLabel(display, "Label8", "", QRect(140, 84, 170, 20));
  Label15 = MakeLabel(display, "Label15", "", QRect(140, 114, 170, 20));
  Button3 = MakeButton(page, "Button3", "Execute", QRect(4, 190, 110, 30), false);
  Button4 = MakeButton(page, "Button4", "Stop All", QRect(120, 190, 110, 30), false);
  Button4->hide();
}

void TOptionsForm::BuildBiosUpdatePage() {
  QWidget* page = AddPage(QStringLiteral("BIOS Update"));
  CheckListBox3 = new TSiteCheckList(QStringLiteral("CheckListBox3"), page);
  CheckListBox3->setGeometry(4, 4, 110, 180);
  QGroupBox* display = MakeGroup(page, "GroupBox5", " Display ", QRect(120, 0, 320, 80));
  MakeLabel(display, "Label9", "Update Programmers Firmware to Version  :", QRect(8, 24, 250, 20));
  Label10 = MakeLabel(display, "Label10", "", QRect(8, 48, 300, 20));
  Button6 = MakeButton(page, "Button6", "Execute", QRect(4, 190, 110, 30), false);
}

void TOptionsForm::BuildAutoRunPage() {
  QWidget* page = AddPage(QStringLiteral("Auto Run"));
  GroupBox26 = MakeGroup(page, "GroupBox26", " Interval Time = 500ms ", QRect(4, 0, 436, 72));
  TrackBar2 = Named(new QSlider(Qt::Horizontal, GroupBox26), "TrackBar2");
  TrackBar2->setGeometry(8, 20, 420, 24);
  TrackBar2->setRange(0, SettingScale::IntervalMaxPosition);
  TrackBar2->setPageStep(1);
  Label16 = MakeLabel(GroupBox26, "Label16", "200ms", QRect(8, 46, 60, 18));
  Label17 = MakeLabel(GroupBox26, "Label17", "5000ms", QRect(376, 46, 56, 18));
  CheckBox1 = Named(new QCheckBox(QStringLiteral("Ignore Insertion Detection"), page), "CheckBox1");
  CheckBox1->setGeometry(8, 80, 260, 24);
}

void TOptionsForm::BuildSdCardPage() {
  QWidget* page = AddPage(QStringLiteral("SDCard"));
  CheckListBox4 = new TSiteCheckList(QStringLiteral("CheckListBox4"), page);
  CheckListBox4->setGeometry(4, 4, 110, 180);
  Panel1 = Named(new QFrame(page), "Panel1");
  Panel1->setGeometry(120, 0, 320, 256);
  MakeLabel(Panel1, "Label12", "SDCard Free Space:", QRect(8, 8, 140, 20));
  Label13 = MakeLabel(Panel1, "Label13", "", QRect(150, 8, 160, 20));
  Button13 = MakeButton(Panel1, "Button13", "Detect", QRect(8, 40, 140, 30), false);
  Button12 = MakeButton(Panel1, "Button12", "Test", QRect(8, 76, 140, 30), false);
  Button14 = MakeButton(Panel1, "Button14", "Free Space", QRect(8, 112, 140, 30), false);
  Button15 = MakeButton(Panel1, "Button15", "Filter", QRect(8, 148, 140, 30), false);
  Button16 = MakeButton(Panel1, "Button16", "Quick Format", QRect(8, 184, 140, 30), false);
}

void TOptionsForm::BuildDebugPage() {
  QWidget* page = AddPage(QStringLiteral("Debug"));
  Button7 = MakeButton(page, "Button7", "Reset", QRect(4, 4, 100, 28), false);
  QGroupBox* loop = MakeGroup(page, "GroupBox6", "Loop", QRect(110, 0, 330, 110));
  Edit2 = Named(new QLineEdit(QStringLiteral("1"), loop), "Edit2");
  Edit2->setGeometry(8, 20, 80, 24);
  Label11 = MakeLabel(loop, "Label11", "0", QRect(96, 20, 80, 24));
  Button8 = MakeButton(loop, "Button8", "Run Program", QRect(8, 52, 100, 28), false);
  Button9 = MakeButton(loop, "Button9", "SelfTest", QRect(112, 52, 100, 28), false);
  Button10 = MakeButton(loop, "Button10", "Set Hardware", QRect(216, 52, 100, 28), false);
  Button11 = MakeButton(page, "Button11", "Set Hardware", QRect(4, 36, 100, 28), false);
  Button17 = MakeButton(page, "Button17", "IO Mode", QRect(4, 68, 100, 28), false);
  QGroupBox* keyRun = MakeGroup(page, "GroupBox7", "Key Run", QRect(110, 114, 330, 60));
  Button18 = MakeButton(keyRun, "Button18", "Start", QRect(8, 22, 100, 28), false);
  Button19 = MakeButton(keyRun, "Button19", "Stop", QRect(112, 22, 100, 28), false);
  Button22 = MakeButton(page, "Button22", "Burn In SelfTest", QRect(4, 180, 130, 28), false);
}
