#include "app/main_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QToolButton>

#include "app/log_commands.h"
#include "app/message_box.h"
#include "app/mouse_flush.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "log/core/journal.h"
#include "log/core/log_thread.h"
#include "log/view/log_view.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "support/system_paths.h"

namespace {
OpcodeQueue RunQueue(bool sdCardRun, bool autoRun) {
  OpcodeQueue queue;
  if (sdCardRun) {
    for (Opcode op : {Opcodes::CheckUsbPower, Opcodes::SdProjectList, Opcodes::SdLoadRunSettings})
      queue.push(op);
    if (autoRun) {
      queue.push(Opcodes::SdAutoRunInit);
      queue.push(Opcodes::SdAutoRunLoop);
    } else {
      queue.push(Opcodes::SdRunAll);
    }
    return queue;
  }
  for (Opcode op : {Opcodes::EmptyStepB, Opcodes::EmptyStepA, Opcodes::CheckUsbPower,
                    Opcodes::HardwareSettings, Opcodes::DriverSettings})
    queue.push(op);
  queue.push(autoRun ? Opcodes::AutoRunLoop : Opcodes::RunAll);
  return queue;
}

QString Percent(std::uint32_t part, std::uint64_t total) {
  // Nothing counted yet: the look of a fresh or reset window, not a division by zero.
  if (total == 0) return QStringLiteral("0%");
  return QString::asprintf("%.2f%%",
                           static_cast<double>(part) * 100.0 / static_cast<double>(total));
}
}  // namespace

TMainForm::TMainForm(S_SystemPara& settings, SystemPaths& paths, NamedLocks& locks, QWidget* parent)
    : QMainWindow(parent),
      settings_(settings),
      paths_(paths),
      locks_(locks),
      host_(std::make_unique<QtSiteHost>()),
      journal_(std::make_unique<Journal>(paths.BaseDir + "History/Journal")),
      mouseFlush_(std::make_unique<MouseFlush>()) {
  BuildWindow();
  LayoutSitePanels();
  host_->SetMainWindowHooks(
      {[this](bool on) { GroupBox3->setEnabled(on); }, [this] { UpdateStatistics(); }});
  ConnectHandlers();
  StartLogPipeline();
}

TMainForm::~TMainForm() {
  RichEdit1->Attach(nullptr, nullptr);  // the view is a child widget: it may outlive log_
}

void TMainForm::ConnectHandlers() {
  connect(RunProgramButton, &QPushButton::clicked, this, &TMainForm::RunProgramButtonClick);
  connect(StopAllButton, &QPushButton::clicked, this, &TMainForm::StopAllButtonClick);
  connect(Button3, &QPushButton::clicked, this, &TMainForm::Button3Click);
  connect(Button4, &QPushButton::clicked, this, &TMainForm::Button4Click);
  connect(Button5, &QPushButton::clicked, this, &TMainForm::Button5Click);
  connect(ToolButton1, &QToolButton::clicked, this, &TMainForm::ToolButton1Click);
  connect(ToolButton2, &QToolButton::clicked, this, &TMainForm::ToolButton2Click);
}

void TMainForm::StartLogPipeline() {
  log_ = std::make_unique<TLogThread>(settings_.LogDisplayMode);
  RichEdit1->Attach(log_.get(), journal_.get(), &settings_.MegSaveDir);
}

void TMainForm::SetOptionsWindow(QWidget* window, std::function<void()> activate) {
  optionsWindow_ = window;
  optionsActivate_ = std::move(activate);
}

void TMainForm::SetProjectWindow(QWidget* window, std::function<void()> activate) {
  projectWindow_ = window;
  projectActivate_ = std::move(activate);
}

void TMainForm::SetMirrorLogToStdout(bool on) {
  journal_->SetMirrorToStdout(on);
}

void TMainForm::SetJournalFolder(const std::string& folder) {
  journal_->SetFolder(folder);
}

TSiteFrame* TMainForm::SiteFrame(int site) const {
  return host_->Frame(site);
}

void TMainForm::SetProjectPath(const std::string& path) {
  StatusPanel0->setText(QString::fromStdString(path));
}

std::string TMainForm::ProjectPath() const {
  return StatusPanel0->text().toStdString();
}

bool TMainForm::ProjectLoaded() const {
  return !StatusPanel0->text().trimmed().isEmpty();
}

void TMainForm::SetRunControlsEnabled(bool on) {
  RunProgramButton->setEnabled(on);
  AutoRunCheckBox->setEnabled(on);
}

void TMainForm::SetStopAllEnabled(bool on) {
  StopAllButton->setEnabled(on);
  host_->SetStopAllEnabled(on);
}

void TMainForm::CheckLogLimit(std::int32_t clearSelection, std::int32_t rowLimit) {
  RichEdit1->CheckLogLimit(clearSelection, rowLimit, settings_.MegSaveDir);
}

// Called by workers after each counted part. The lock orders the sums, and posting under it
// puts the label changes on the UI thread in the same order, behind the counter changes.
void TMainForm::UpdateStatistics() {
  NamedLockGuard lock(locks_.Get(LockName::Statistics));
  std::uint32_t pass = 0;
  std::uint32_t fail = 0;
  for (int i = 0; i < kSiteCount; ++i) {
    pass += host_->PassCount(i);
    fail += host_->FailCount(i);
  }
  host_->Post([this, pass, fail] { ShowStatistics(pass, fail); });
}

void TMainForm::ShowStatistics(std::uint32_t pass, std::uint32_t fail) {
  const std::uint64_t total = std::uint64_t{pass} + fail;
  Label6->setText(QString::number(total));
  Label4->setText(QString::number(pass));
  Label5->setText(QString::number(fail));
  Label7->setText(Percent(pass, total));
  Label8->setText(Percent(fail, total));
}

void TMainForm::Button5Click() {
  const int answer = ShowMessageBox("Are You Sure you want to Reset the Statistics Counters?",
                                    "QUESTION", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer != IDYES) return;
  NamedLockGuard lock(locks_.Get(LockName::Statistics));
  for (int i = 0; i < kSiteCount; ++i) {
    host_->SetPassCount(i, 0);
    host_->SetFailCount(i, 0);
  }
  host_->Post([this] {
    for (QLabel* label : {Label4, Label5, Label6}) label->setText(QStringLiteral("0"));
    Label7->setText(QStringLiteral("0%"));
    Label8->setText(QStringLiteral("0%"));
  });
}

void TMainForm::RunProgramButtonClick() {
  busy_.store(true);
  closeEnabled_ = false;
  RichEdit1->setEnabled(false);
  Memo1->setEnabled(false);
  if (settings_.DataBufferSel != 0) {
    RunSites(true);
  } else if (engine_ && engine_->ProcedureSelected()) {
    RunSites(false);
  } else {
    log_->AddLogMessage("No Select Procedure for Project!", LogColour::Red, 1, 0);
  }
  closeEnabled_ = true;
  RichEdit1->setEnabled(true);
  Memo1->setEnabled(true);
  busy_.store(false);
  mouseFlush_->Flush();
}

void TMainForm::RunSites(bool sdCardRun) {
  const bool autoRun = AutoRunCheckBox->isChecked();
  const bool projectButton = ToolButton1->isEnabled();
  int started = 0;
  for (int site = 0; site < kSiteCount; ++site) {
    if (!engine_) break;
    engine_->ResetRunResults(site);
    if (host_->Checked(site) && engine_->StartCommand(site, RunQueue(sdCardRun, autoRun)))
      ++started;
  }
  if (started > 0) {
    SetRunLocked(true, autoRun);
    engine_->WaitForSites();
  }
  SetRunLocked(false, autoRun);
  ToolButton1->setEnabled(projectButton);
}

// The controls that could start other work are off while sites run; "Stop All" is the only run
// control left for an automatic run.
void TMainForm::SetRunLocked(bool running, bool autoRun) {
  SetRunControlsEnabled(!running);
  SetStopAllEnabled(running && autoRun);
  for (QWidget* control : std::initializer_list<QWidget*>{Button3, Button4, Button5, GroupBox3,
                                                          ToolButton1, ToolButton2})
    control->setEnabled(!running);
}

void TMainForm::StopAllButtonClick() {
  SetStopAllEnabled(false);
  mouseFlush_->Flush();
}

void TMainForm::Button3Click() {
  LogClearCommand({*RichEdit1, settings_, *log_, paths_.DesktopDir, this});
  mouseFlush_->Flush();
}

void TMainForm::Button4Click() {
  LogSaveCommand({*RichEdit1, settings_, *log_, paths_.DesktopDir, this});
  mouseFlush_->Flush();
}

void TMainForm::ShowCentred(QWidget* window) {
  setEnabled(false);
  if (QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen()) {
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
  }
  window->show();
  window->raise();
  window->activateWindow();
}

void TMainForm::ToolButton1Click() {
  if (projectWindow_) ShowCentred(projectWindow_);
  mouseFlush_->Flush();
}

void TMainForm::ToolButton2Click() {
  if (optionsWindow_) ShowCentred(optionsWindow_);
  mouseFlush_->Flush();
}

void TMainForm::OnDeviceChange() {
  if (busy_.load()) return;  // units plugged in during a run are found at the next notice
  RunRescan();
}

int TMainForm::RunRescan() {
  closeEnabled_ = false;
  SetRunControlsEnabled(false);
  const int found = engine_ ? engine_->RescanUnits() : 0;
  if (found > 0) {
    if (ProjectLoaded() || settings_.DataBufferSel == 1) SetRunControlsEnabled(true);
    closeEnabled_ = true;
    if (optionsActivate_) optionsActivate_();
    if (projectActivate_) projectActivate_();
  } else {
    SetStopAllEnabled(false);
    closeEnabled_ = true;
  }
  return found;
}

bool TMainForm::FormCloseQuery() {
  if (!isEnabled() || !GroupBox3->isEnabled() || !closeEnabled_) return false;
  if (StopAllButton->isEnabled()) return false;
  const bool allowed =
      LogCloseStep({*RichEdit1, settings_, *log_, paths_.DesktopDir, this}, exitCleanup_);
  if (allowed) log_->Terminate();
  return allowed;
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (closing_ || FormCloseQuery()) {
    closing_ = true;
    event->accept();
  } else {
    event->ignore();
  }
}
