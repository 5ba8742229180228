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

  projectStatusBar = Named(new QStatusBar(this), "StatusBar1");
  projectStatusBar->setSizeGripEnabled(false);
  projectPathLabel = Named(new QLabel(projectStatusBar), "StatusPanel0");
  projectPathLabel->setMinimumWidth(50);
  projectStatusBar->addWidget(projectPathLabel, 1);
  setStatusBar(projectStatusBar);
}

void TMainForm::BuildToolBar() {
  mainToolBar = Named(new QToolBar(this), "ToolBar1");
  mainToolBar->setMovable(false);
  mainToolBar->setFloatable(false);
  mainToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
  mainToolBar->setFont(ArialPx(13, true));
  addToolBar(Qt::TopToolBarArea, mainToolBar);
  projectToolButton = Named(new QToolButton(mainToolBar), "ToolButton1");
  projectToolButton->setText(QStringLiteral("Project"));
  projectToolButton->setMinimumSize(72, 30);
  projectToolButton->setEnabled(false);  // a successful start-up enables it
  optionsToolButton = Named(new QToolButton(mainToolBar), "ToolButton2");
  optionsToolButton->setText(QStringLiteral("Options"));
  optionsToolButton->setMinimumSize(72, 30);
  mainToolBar->addWidget(projectToolButton);
  mainToolBar->addWidget(optionsToolButton);
}

void TMainForm::BuildSiteGroup() {
  siteStatusGroup = MakeGroup(centralWidget(), "GroupBox3", " Site Status ",
                              QRect(4, 2, kSiteGroupWidth, kSiteGroupHeight));
}

void TMainForm::BuildActionGroup() {
  actionGroup = MakeGroup(centralWidget(), "GroupBox2", " Action ",
                          QRect(kRightColumnLeft, 2, kRightColumnWidth, 150));
  RunProgramButton =
      Named(new QPushButton(QStringLiteral("Run Program"), actionGroup), "RunProgramButton");
  RunProgramButton->setFont(ArialPx(19, true));
  RunProgramButton->setGeometry(12, 22, 210, 44);
  RunProgramButton->setEnabled(false);
  AutoRunCheckBox =
      Named(new QCheckBox(QStringLiteral("Auto Run"), actionGroup), "AutoRunCheckBox");
  AutoRunCheckBox->setFont(ArialPx(13, true));
  AutoRunCheckBox->setGeometry(14, 72, 208, 22);
  AutoRunCheckBox->setChecked(true);
  AutoRunCheckBox->setEnabled(false);
  StopAllButton = Named(new QPushButton(QStringLiteral("Stop All"), actionGroup), "StopAllButton");
  StopAllButton->setFont(ArialPx(19, true));
  QPalette palette = StopAllButton->palette();
  palette.setColor(QPalette::Active, QPalette::ButtonText, Qt::red);
  palette.setColor(QPalette::Inactive, QPalette::ButtonText, Qt::red);
  StopAllButton->setPalette(palette);
  StopAllButton->setGeometry(12, 100, 210, 40);
  StopAllButton->setEnabled(false);
}

void TMainForm::BuildStatisticsGroup() {
  statisticsGroup = MakeGroup(centralWidget(), "GroupBox5", " Statistics ",
                              QRect(kRightColumnLeft, 156, kRightColumnWidth, 254));
  const QColor green = ColourFromBgr(0x008000);
  const QColor red = ColourFromBgr(0x0000FF);
  passCaptionLabel = MakeStatLabel(statisticsGroup, "Label1", "PASS  :", green,
                                   QRect(12, 24, 80, 28), Qt::AlignLeft);
  failCaptionLabel = MakeStatLabel(statisticsGroup, "Label2", "FAIL  :", red, QRect(12, 56, 80, 28),
                                   Qt::AlignLeft);
  totalCaptionLabel = MakeStatLabel(statisticsGroup, "Label3", "TOTAL :", kNavy,
                                    QRect(12, 88, 80, 28), Qt::AlignLeft);
  passCountLabel =
      MakeStatLabel(statisticsGroup, "Label4", "0", green, QRect(92, 24, 128, 28), Qt::AlignRight);
  failCountLabel =
      MakeStatLabel(statisticsGroup, "Label5", "0", red, QRect(92, 56, 128, 28), Qt::AlignRight);
  totalCountLabel =
      MakeStatLabel(statisticsGroup, "Label6", "0", kNavy, QRect(92, 88, 128, 28), Qt::AlignRight);
  passRateLabel = MakeStatLabel(statisticsGroup, "Label7", "0%", green, QRect(92, 128, 128, 28),
                                Qt::AlignRight);
  failRateLabel =
      MakeStatLabel(statisticsGroup, "Label8", "0%", red, QRect(92, 160, 128, 28), Qt::AlignRight);
  resetStatisticsButton =
      Named(new QPushButton(QStringLiteral("Reset"), statisticsGroup), "Button5");
  resetStatisticsButton->setGeometry(67, 206, 100, 32);
}

void TMainForm::BuildLogGroup() {
  logGroup = MakeGroup(centralWidget(), "GroupBox1", " Log ",
                       QRect(4, kLowerRowTop, kSiteGroupWidth, kLowerRowHeight));
  logTimeCaptionPanel = MakeCaptionPanel(logGroup, "Panel2", "Date Time", QRect(8, 18, 180, 22));
  logTextCaptionPanel = MakeCaptionPanel(logGroup, "Panel3", "Status", QRect(188, 18, 480, 22));
  logView = new TLogView(
      {system_.Locks().Get(LockName::LogView), system_.Locks().Get(LockName::LogSave)}, logGroup);
  logView->setGeometry(8, 40, 660, kLowerRowHeight - 48);
  logButtonPanel = Named(new QFrame(logGroup), "Panel5");
  logButtonPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  logButtonPanel->setGeometry(672, 18, 97, kLowerRowHeight - 26);
  clearLogButton = Named(new QPushButton(QStringLiteral("Clear"), logButtonPanel), "Button3");
  clearLogButton->setGeometry(8, 10, 81, 32);
  saveLogButton = Named(new QPushButton(QStringLiteral("Save"), logButtonPanel), "Button4");
  saveLogButton->setGeometry(8, 50, 81, 32);
}

void TMainForm::BuildInformationGroup() {
  informationGroup =
      MakeGroup(centralWidget(), "GroupBox4", " Information ",
                QRect(kRightColumnLeft, kLowerRowTop, kRightColumnWidth, kLowerRowHeight));
  informationMemo = Named(new QPlainTextEdit(informationGroup), "Memo1");
  informationMemo->setReadOnly(true);
  informationMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  informationMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  informationMemo->setGeometry(8, 18, kRightColumnWidth - 16, kLowerRowHeight - 26);
}

void TMainForm::LayoutSitePanels() {
  SitePanels& panels = system_.Panels();
  for (int i = 0; i < kSiteCount; ++i) {
    TSiteFrame* frame = host_->Frame(i);
    if (!frame) {
      frame = new TSiteFrame(siteStatusGroup);
      frame->setObjectName(QStringLiteral("Site%1").arg(i + 1));
      host_->SetFrame(i, frame);
    }
    frame->move(SitePanelPosition(i, siteStatusGroup->width(), siteStatusGroup->height()));
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
