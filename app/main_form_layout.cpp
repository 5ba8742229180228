// The controls of the main window and where they sit. Fixed geometry: the window is not
// resizable, and the site panels are placed by position, not by a layout.
#include <QCheckBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include "app/main_form.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "log/view/log_colour.h"
#include "log/view/log_view.h"
#include "site/site_system.h"
#include "support/named_lock.h"

namespace {
constexpr int kClientWidth = 1024;
constexpr int kClientHeight = 700;
constexpr int kSiteGroupWidth = 777;
constexpr int kSiteGroupHeight = 408;
constexpr int kRightColumnLeft = 786;
constexpr int kRightColumnWidth = 234;
constexpr int kLowerRowTop = 414;
constexpr int kLowerRowHeight = 220;
const QColor kSky(166, 202, 240);
const QColor kNavy(0, 0, 128);

QFont ArialPx(int px, bool bold = false) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(px);
  font.setBold(bold);
  return font;
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const char* title, const QRect& rect) {
  auto* group = Named(new QGroupBox(QString::fromLatin1(title), parent), name);
  group->setGeometry(rect);
  return group;
}

QFrame* MakeCaptionPanel(QWidget* parent, const char* name, const char* caption,
                         const QRect& rect) {
  auto* panel = Named(new QFrame(parent), name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setGeometry(rect);
  auto* label = new QLabel(QString::fromLatin1(caption), panel);
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(0, 0, rect.width(), rect.height());
  return panel;
}

QLabel* MakeStatLabel(QWidget* parent, const char* name, const char* text, const QColor& colour,
                      const QRect& rect, Qt::Alignment align) {
  auto* label = Named(new QLabel(QString::fromLatin1(text), parent), name);
  label->setFont(ArialPx(17, true));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->setAlignment(align | Qt::AlignVCenter);
  label->setGeometry(rect);
  return label;
}
}  // namespace

void TMainForm::BuildWindow() {
  setObjectName(QStringLiteral("MainForm"));
  setFont(ArialPx(11));
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kSky);
  setPalette(palette);
  setAutoFillBackground(true);
  // Single border, minimise and system menu only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(kClientWidth, kClientHeight);

  BuildToolBar();
  auto* central = Named(new QWidget(this), "ClientArea");
  setCentralWidget(central);
  BuildSiteGroup();
  BuildActionGroup();
  BuildStatisticsGroup();
  BuildLogGroup();
  BuildInformationGroup();

  StatusBar1 = Named(new QStatusBar(this), "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusPanel0 = Named(new QLabel(StatusBar1), "StatusPanel0");
  StatusPanel0->setMinimumWidth(50);
  StatusBar1->addWidget(StatusPanel0, 1);
  setStatusBar(StatusBar1);
}

void TMainForm::BuildToolBar() {
  ToolBar1 = Named(new QToolBar(this), "ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ToolBar1->setFont(ArialPx(13, true));
  addToolBar(Qt::TopToolBarArea, ToolBar1);
  ToolButton1 = Named(new QToolButton(ToolBar1), "ToolButton1");
  ToolButton1->setText(QStringLiteral("Project"));
  ToolButton1->setMinimumSize(72, 30);
  ToolButton1->setEnabled(false);  // a successful start-up enables it
  ToolButton2 = Named(new QToolButton(ToolBar1), "ToolButton2");
  ToolButton2->setText(QStringLiteral("Options"));
  ToolButton2->setMinimumSize(72, 30);
  ToolBar1->addWidget(ToolButton1);
  ToolBar1->addWidget(ToolButton2);
}

void TMainForm::BuildSiteGroup() {
  GroupBox3 = MakeGroup(centralWidget(), "GroupBox3", " Site Status ",
                        QRect(4, 2, kSiteGroupWidth, kSiteGroupHeight));
}

void TMainForm::BuildActionGroup() {
  GroupBox2 = MakeGroup(centralWidget(), "GroupBox2", " Action ",
                        QRect(kRightColumnLeft, 2, kRightColumnWidth, 150));
  RunProgramButton =
      Named(new QPushButton(QStringLiteral("Run Program"), GroupBox2), "RunProgramButton");
  RunProgramButton->setFont(ArialPx(19, true));
  RunProgramButton->setGeometry(12, 22, 210, 44);
  RunProgramButton->setEnabled(false);
  AutoRunCheckBox = Named(new QCheckBox(QStringLiteral("Auto Run"), GroupBox2), "AutoRunCheckBox");
  AutoRunCheckBox->setFont(ArialPx(13, true));
  AutoRunCheckBox->setGeometry(14, 72, 208, 22);
  AutoRunCheckBox->setChecked(true);
  AutoRunCheckBox->setEnabled(false);
  StopAllButton = Named(new QPushButton(QStringLiteral("Stop All"), GroupBox2), "StopAllButton");
  StopAllButton->setFont(ArialPx(19, true));
  QPalette palette = StopAllButton->palette();
  palette.setColor(QPalette::Active, QPalette::ButtonText, Qt::red);
  palette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::red);
  StopAllButton->setPalette(palette);
  StopAllButton->setGeometry(12, 100, 210, 40);
  StopAllButton->setEnabled(false);
}

void TMainForm::BuildStatisticsGroup() {
  GroupBox5 = MakeGroup(centralWidget(), "GroupBox5", " Statistics ",
                        QRect(kRightColumnLeft, 156, kRightColumnWidth, 254));
  const QColor green = ColourFromBgr(0x008000);
  const QColor red = ColourFromBgr(0x0000FF);
  Label1 =
      MakeStatLabel(GroupBox5, "Label1", "PASS  :", green, QRect(12, 24, 80, 28), Qt::AlignLeft);
  Label2 = MakeStatLabel(GroupBox5, "Label2", "FAIL  :", red, QRect(12, 56, 80, 28), Qt::AlignLeft);
  Label3 =
      MakeStatLabel(GroupBox5, "Label3", "TOTAL :", kNavy, QRect(12, 88, 80, 28), Qt::AlignLeft);
  Label4 = MakeStatLabel(GroupBox5, "Label4", "0", green, QRect(92, 24, 128, 28), Qt::AlignRight);
  Label5 = MakeStatLabel(GroupBox5, "Label5", "0", red, QRect(92, 56, 128, 28), Qt::AlignRight);
  Label6 = MakeStatLabel(GroupBox5, "Label6", "0", kNavy, QRect(92, 88, 128, 28), Qt::AlignRight);
  Label7 = MakeStatLabel(GroupBox5, "Label7", "0%", green, QRect(92, 128, 128, 28), Qt::AlignRight);
  Label8 = MakeStatLabel(GroupBox5, "Label8", "0%", red, QRect(92, 160, 128, 28), Qt::AlignRight);
  Button5 = Named(new QPushButton(QStringLiteral("Reset"), GroupBox5), "Button5");
  Button5->setGeometry(67, 206, 100, 32);
}

void TMainForm::BuildLogGroup() {
  GroupBox1 = MakeGroup(centralWidget(), "GroupBox1", " Log ",
                        QRect(4, kLowerRowTop, kSiteGroupWidth, kLowerRowHeight));
  Panel2 = MakeCaptionPanel(GroupBox1, "Panel2", "Date Time", QRect(8, 18, 180, 22));
  Panel3 = MakeCaptionPanel(GroupBox1, "Panel3", "Status", QRect(188, 18, 480, 22));
  RichEdit1 = new TLogView(
      {system_.Locks().Get(LockName::LogView), system_.Locks().Get(LockName::LogSave)}, GroupBox1);
  RichEdit1->setGeometry(8, 40, 660, kLowerRowHeight - 48);
  Panel5 = Named(new QFrame(GroupBox1), "Panel5");
  Panel5->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel5->setGeometry(672, 18, 97, kLowerRowHeight - 26);
  Button3 = Named(new QPushButton(QStringLiteral("Clear"), Panel5), "Button3");
  Button3->setGeometry(8, 10, 81, 32);
  Button4 = Named(new QPushButton(QStringLiteral("Save"), Panel5), "Button4");
  Button4->setGeometry(8, 50, 81, 32);
}

void TMainForm::BuildInformationGroup() {
  GroupBox4 = MakeGroup(centralWidget(), "GroupBox4", " Information ",
                        QRect(kRightColumnLeft, kLowerRowTop, kRightColumnWidth, kLowerRowHeight));
  Memo1 = Named(new QPlainTextEdit(GroupBox4), "Memo1");
  Memo1->setReadOnly(true);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setGeometry(8, 18, kRightColumnWidth - 16, kLowerRowHeight - 26);
}

void TMainForm::LayoutSitePanels() {
  SitePanels& panels = system_.Panels();
  for (int i = 0; i < kSiteCount; ++i) {
    TSiteFrame* frame = host_->Frame(i);
    if (!frame) {
      frame = new TSiteFrame(GroupBox3);
      frame->setObjectName(QStringLiteral("Site%1").arg(i + 1));
      host_->SetFrame(i, frame);
    }
    frame->move(SitePanelPosition(i, GroupBox3->width(), GroupBox3->height()));
    frame->SaveBarStyle();
    frame->Bind(&panels, i);
    frame->SetPassCount(panels.PassCount(i));
    frame->SetFailCount(panels.FailCount(i));
    frame->SetStatus(panels.Status(i));
    frame->SetChecked(panels.Checked(i));
    frame->SetID(static_cast<std::uint32_t>(i + 1));
    frame->show();
  }
}
