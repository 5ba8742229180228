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
#include <QThread>
#include <QToolButton>

#include "app/log_commands.h"
#include "app/message_box.h"
#include "app/mouse_flush.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "app/window_observer.h"
#include "log/core/journal.h"
#include "log/core/log_queue.h"
#include "log/view/log_view.h"
#include "project/cproject.h"
#include "site/loaded_project.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "support/named_lock.h"
#include "support/system_para.h"
#include "support/system_paths.h"

namespace {
QString Percent(std::uint32_t part, std::uint64_t total) {
  // Nothing counted yet: the look of a fresh or reset window, not a division by zero.
  if (total == 0) return QStringLiteral("0%");
  return QString::asprintf("%.2f%%",
                           static_cast<double>(part) * 100.0 / static_cast<double>(total));
}
}  // namespace

namespace {
// Logs and projects of every front end, shown here. A command that reports into the log has
// ended: told on the UI thread that waited for it, or on the station server's waiter thread,
// which must leave the log view to the UI thread.
class MainWindowObserver final : public WindowObserver {
 public:
  MainWindowObserver(SiteSystem& system, TMainForm& form)
      : WindowObserver(system.Session(), form), system_(system), form_(form) {}
  void OnLogLimit(std::int32_t clearSelection, std::int32_t rowLimit) override {
    if (QThread::currentThread() == form_.thread()) {
      form_.CheckLogLimit(clearSelection, rowLimit);
    } else {
      form_.LogPipeline().RequestLimitCheck(clearSelection, rowLimit);
    }
  }
  void OnProjectLoaded(const std::string& path) override {
    // Taken now, on the loading thread: a later load may replace the project before it is shown.
    const std::string info = system_.Project().Project().LoadedInfoText();
    OnWindowThread([&form = form_, path, info] { form.ShowLoadedProject(path, info); });
  }
  void OnSettingsLoaded(bool) override {
    OnWindowThread([&form = form_] { form.ShowLoadedSettings(); });
  }

 private:
  SiteSystem& system_;
  TMainForm& form_;
};
}  // namespace

TMainForm::TMainForm(SiteSystem& system, QWidget* parent)
    : QMainWindow(parent),
      system_(system),
      settings_(system.Para()),
      host_(std::make_unique<QtSiteHost>()),
      mouseFlush_(std::make_unique<MouseFlush>()) {
  BuildWindow();
  LayoutSitePanels();
  host_->SetMainWindow(this);
  system_.AttachHost(*host_);
  observer_ = std::make_unique<MainWindowObserver>(system_, *this);
  ConnectHandlers();
  StartLogPipeline();
}

TMainForm::~TMainForm() {
  observer_.reset();
  system_.AttachHost(noHost_);
  logView->Attach(nullptr, nullptr);  // nothing of the pipeline reaches the view once it goes
}

LogQueue& TMainForm::LogPipeline() {
  return system_.LogPipeline();
}

void TMainForm::ConnectHandlers() {
  connect(RunProgramButton, &QPushButton::clicked, this, &TMainForm::RunProgramButtonClick);
  connect(StopAllButton, &QPushButton::clicked, this, &TMainForm::StopAllButtonClick);
  connect(clearLogButton, &QPushButton::clicked, this, &TMainForm::Button3Click);
  connect(saveLogButton, &QPushButton::clicked, this, &TMainForm::Button4Click);
  connect(resetStatisticsButton, &QPushButton::clicked, this, &TMainForm::Button5Click);
  connect(projectToolButton, &QToolButton::clicked, this, &TMainForm::ToolButton1Click);
  connect(optionsToolButton, &QToolButton::clicked, this, &TMainForm::ToolButton2Click);
}

void TMainForm::StartLogPipeline() {
  LogPipeline().SetLogDisplayMode(settings_.LogDisplayMode);
  logView->Attach(&LogPipeline(), &system_.LogJournal(), &settings_.MegSaveDir);
}

TSiteFrame* TMainForm::SiteFrame(int site) const {
  return host_->Frame(site);
}

void TMainForm::SetProjectPath(const std::string& path) {
  projectPathLabel->setText(QString::fromStdString(path));
}

std::string TMainForm::ProjectPath() const {
  return projectPathLabel->text().toStdString();
}

bool TMainForm::ProjectLoaded() const {
  return !projectPathLabel->text().trimmed().isEmpty();
}

void TMainForm::SetRunControlsEnabled(bool on) {
  RunProgramButton->setEnabled(on);
  AutoRunCheckBox->setEnabled(on);
}

// From the SDRAM a run needs a loaded PC project; from the SD card the units run the projects on
// their cards, and a PC project no longer counts.
void TMainForm::ShowDataBuffer(std::int32_t selection) {
  if (selection == 0) {
    const bool loaded = ProjectLoaded();
    SetRunControlsEnabled(loaded);
    if (!loaded) AutoRunCheckBox->setChecked(false);
  } else {
    SetProjectPath("");
    SetRunControlsEnabled(true);
  }
}

void TMainForm::ShowLoadedProject(const std::string& path, const std::string& info) {
  informationMemo->setPlainText(QString::fromStdString(info));
  SetProjectPath(path);
  SetRunControlsEnabled(true);
}

void TMainForm::ShowLoadedSettings() {
  if (settings_.DataBufferSel == 1) SetRunControlsEnabled(true);
}

void TMainForm::SetStopAllEnabled(bool on) {
  StopAllButton->setEnabled(on);
}

void TMainForm::CheckLogLimit(std::int32_t clearSelection, std::int32_t rowLimit) {
  logView->CheckLogLimit(clearSelection, rowLimit, settings_.MegSaveDir);
}

// A locked site group takes no clicks or keys, but its panels stay drawn in their colours: the
// run's states are what the operator watches while it is locked.
void TMainForm::ShowSiteGroupEnabled(bool enabled) {
  siteGroupEnabled_ = enabled;
  siteStatusGroup->setAttribute(Qt::WA_TransparentForMouseEvents, !enabled);
  for (int site = 0; site < kSiteCount; ++site) {
    QCheckBox* box = SiteFrame(site)->siteCheckBox;
    if (!enabled && box->hasFocus()) box->clearFocus();
    box->setFocusPolicy(enabled ? Qt::StrongFocus : Qt::NoFocus);
  }
}

void TMainForm::ShowStatistics(std::uint32_t pass, std::uint32_t fail) {
  const std::uint64_t total = std::uint64_t{pass} + fail;
  totalCountLabel->setText(QString::number(total));
  passCountLabel->setText(QString::number(pass));
  failCountLabel->setText(QString::number(fail));
  passRateLabel->setText(Percent(pass, total));
  failRateLabel->setText(Percent(fail, total));
  emit StatisticsShown(pass, fail);
}

void TMainForm::Button5Click() {
  const int answer = ShowMessageBox("Are You Sure you want to Reset the Statistics Counters?",
                                    "QUESTION", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
  if (answer != IDYES) return;
  system_.Panels().ResetStatistics();
}

void TMainForm::RunProgramButtonClick() {
  SetBusy(true);
  RunSites(settings_.DataBufferSel != 0 ? RunSource::SdCard : RunSource::Pc);
  SetBusy(false);
  mouseFlush_->Flush();
  emit RunEnded();
}

void TMainForm::StartAutomaticRun() {
  AutoRunCheckBox->setChecked(true);
  RunProgramButtonClick();
}

// While a run is on the window cannot close and the log and information take no input.
void TMainForm::SetBusy(bool busy) {
  if (busy) busy_.store(true);
  closeEnabled_ = !busy;
  logView->setEnabled(!busy);
  informationMemo->setEnabled(!busy);
  if (!busy) busy_.store(false);
}

void TMainForm::RunSites(RunSource source) {
  RunSession& session = system_.Session();
  if (!session.ReadyToRun(source)) return;
  const bool autoRun = AutoRunCheckBox->isChecked();
  const bool projectButton = projectToolButton->isEnabled();
  const StartedRun run = session.StartRun({source, autoRun, {}, 0});
  if (run.Started()) SetRunLocked(true, autoRun);
  session.Wait(run);
  SetRunLocked(false, autoRun);
  projectToolButton->setEnabled(projectButton);
}

void TMainForm::BeginOutsideRun(bool autoRun) {
  SetBusy(true);
  outsideRunAuto_ = autoRun;
  outsideRunProjectButton_ = projectToolButton->isEnabled();
  SetRunLocked(true, autoRun);
}

void TMainForm::EndOutsideRun() {
  SetRunLocked(false, outsideRunAuto_);
  projectToolButton->setEnabled(outsideRunProjectButton_);
  SetBusy(false);
  emit RunEnded();
}

// The controls that could start other work are off while sites run; "Stop All" is the only run
// control left for an automatic run.
void TMainForm::SetRunLocked(bool running, bool autoRun) {
  SetRunControlsEnabled(!running);
  SetStopAllEnabled(running && autoRun);
  for (QWidget* control :
       std::initializer_list<QWidget*>{clearLogButton, saveLogButton, resetStatisticsButton,
                                       projectToolButton, optionsToolButton})
    control->setEnabled(!running);
  ShowSiteGroupEnabled(!running);
}

void TMainForm::StopAllButtonClick() {
  SetStopAllEnabled(false);
  system_.Session().RequestStop();
  mouseFlush_->Flush();
}

void TMainForm::Button3Click() {
  LogClearCommand({*logView, settings_, LogPipeline(), system_.Paths().DesktopDir, this});
  mouseFlush_->Flush();
}

void TMainForm::Button4Click() {
  LogSaveCommand({*logView, settings_, LogPipeline(), system_.Paths().DesktopDir, this});
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
  const bool found = RescanUnits(system_);
  if (found) {
    if (ProjectLoaded() || settings_.DataBufferSel == 1) SetRunControlsEnabled(true);
    closeEnabled_ = true;
    emit UnitsFound();
  } else {
    SetStopAllEnabled(false);
    closeEnabled_ = true;
  }
  return found ? 1 : 0;
}

bool TMainForm::FormCloseQuery() {
  if (!isEnabled() || !siteGroupEnabled_ || !closeEnabled_) return false;
  if (StopAllButton->isEnabled()) return false;
  const bool allowed = LogCloseStep(
      {*logView, settings_, LogPipeline(), system_.Paths().DesktopDir, this},
      [this] { emit ExitCleanupRequested(); });
  if (allowed) LogPipeline().Terminate();
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
