#include "app/startup_program.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <filesystem>
#include <stdexcept>

#include "app/device_notice.h"
#include "app/options_form.h"
#include "app/project_form.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "app/startup.h"
#include "link/link_table.h"
#include "log/core/log_thread.h"
#include "project/cproject.h"
#include "site/project_load.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "site/system_startup.h"

GangProgram::GangProgram(ProgramOptions options)
    : config_(std::move(options)),
      registry_(config_.registry
                    ? *config_.registry
                    : RegistryStore::ForProgram(!IsInstalledProgram(ExecutableDir()))) {
  bus_ = ChooseUsbBus({config_.simulatedUnits, config_.simulationTiming, config_.pollPeriodMs,
                       config_.simFailRate, config_.simSpeed, config_.simCards});
  sites_ = std::make_unique<SiteSystem>(*bus_.library);
  // The base folder is known before any window: the log journal lives below it.
  SetPaths();
  if (!config_.usbTrace.empty() && !sites_->Links().Trace().Start(config_.usbTrace)) {
    throw std::runtime_error("cannot write the USB trace file " + config_.usbTrace);
  }
  main_ = std::make_unique<TMainForm>(*sites_);
  sites_->LogJournal().SetMirrorToStdout(config_.logStdout);
  main_->SetExitCleanup([this] { SystemCleanup(); });
  connect(&main_->SiteHost(), &QtSiteHost::ExitRequested, this, [this] { EndInOrder(1); });
  notices_ = std::make_unique<DeviceNoticeSource>(*bus_.notices);
  connect(notices_.get(), &DeviceNoticeSource::DeviceChanged, main_.get(),
          &TMainForm::OnDeviceChange, Qt::QueuedConnection);
  BuildOptionsWindow();
  BuildProjectWindow();
  main_->installEventFilter(this);
}

GangProgram::~GangProgram() {
  // Notices first (no rescan can start any more), then the workers, then the windows; the bus
  // goes last, after the links that use it.
  notices_->Stop();
  if (main_) main_->removeEventFilter(this);
  sites_->Shutdown();
  project_.reset();
  options_.reset();
  main_.reset();
  sites_.reset();
}

S_SystemPara& GangProgram::Para() {
  return sites_->Para();
}

const SystemPaths& GangProgram::Paths() const {
  return sites_->Paths();
}

bool GangProgram::SetPaths() {
  return SetSystemPaths(*sites_, {config_.baseDir, config_.tempRoot, {}});
}

void GangProgram::BuildOptionsWindow() {
  OptionsFormConfig config;
  config.debugMode = DebugMode();
  config.loadSystemIni = [this] { LoadSystemIni(); };
  options_ = std::make_unique<TOptionsForm>(*sites_, *main_, std::move(config));
  main_->SetOptionsWindow(options_.get(), [this] { options_->FormActivate(); });
  // Creation: the paths, then the first settings load (the window's creation handler).
  SetPaths();
  options_->FormCreate();
}

void GangProgram::BuildProjectWindow() {
  ProjectFormWiring wiring;
  wiring.showLoadedProject = [this](const std::string& info, const std::string& path) {
    ShowLoadedProject(info, path);
  };
  wiring.enableMainWindow = [this] { main_->setEnabled(true); };
  project_ = std::make_unique<TProjectForm>(*sites_, std::move(wiring));
  main_->SetProjectWindow(project_.get(), [this] { project_->FormActivate(); });
}

void GangProgram::ShowLoadedProject(const std::string& info, const std::string& path) {
  main_->informationMemo->setPlainText(QString::fromStdString(info));
  main_->SetProjectPath(path);
  main_->SetRunControlsEnabled(true);
}

int GangProgram::LoadProject(const std::string& path) {
  const int code = LoadProjectInto(*sites_, path);
  if (code == LoadCode::Loaded) {
    ShowLoadedProject(sites_->Project().Project().ProjectInfoText(path), path);
  }
  return code;
}

// The project named on the command line loads as the project window would load it, and joins
// its history under its full path.
void GangProgram::LoadStartProject() {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(config_.project, error);
  const std::string path = error ? config_.project : full.lexically_normal().string();
  if (LoadProject(path) == LoadCode::Loaded) project_->NoteLoadedProject(path);
}

bool GangProgram::DebugMode() const {
  return registry_.CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode);
}

void GangProgram::Show() {
  main_->show();
}

bool GangProgram::eventFilter(QObject* watched, QEvent* event) {
  if (watched == main_.get() && event->type() == QEvent::Show && !firstShowSeen_) {
    firstShowSeen_ = true;
    // After the show has been handled, so that the window paints while the start-up runs.
    QMetaObject::invokeMethod(
        this, [this] { FirstShow(); }, Qt::QueuedConnection);
  }
  return QObject::eventFilter(watched, event);
}

void GangProgram::FirstShow() {
  main_->setEnabled(false);
  main_->LayoutSitePanels();
  bus_.library->set_debug(0);  // the links' table initialised the library when it was built
  startupSucceeded_ = SystemInitialization();
  if (startupSucceeded_) {
    main_->projectToolButton->setEnabled(true);
    main_->LogThread().AddLogMessage(kInitFinish, LogColour::Green, 1, 0);
    RescanUnits();
    if (!config_.project.empty()) LoadStartProject();
    StartDeviceNotices();
  } else {
    main_->LogThread().AddLogMessage(kInitFail, LogColour::Red, 1, 0);
  }
  main_->setEnabled(true);
  startupDone_ = true;
  if (startupSucceeded_) StartRequestedActions();
}

void GangProgram::StartRequestedActions() {
  // Queued, so that the start-up returns first; the buttons do what a click would.
  if (config_.showProjectWindow) {
    QMetaObject::invokeMethod(main_->projectToolButton, &QToolButton::click, Qt::QueuedConnection);
  }
  if (config_.autoRun && main_->RunProgramButton->isEnabled()) {
    main_->AutoRunCheckBox->setChecked(true);
    QMetaObject::invokeMethod(main_->RunProgramButton, &QPushButton::click, Qt::QueuedConnection);
  }
}

bool GangProgram::SystemInitialization() {
  const bool privateTemp = SetPaths();
  ReportRegistryStore(registry_, main_->LogThread());
  LoadSystemIni();
  SetCaptionAndDefaults();
  return CheckSystemFiles(*sites_, privateTemp);
}

void GangProgram::LoadSystemIni() {
  if (registry_.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode)) {
    handlerMode_ = true;
  }
  // The settings may move the base folder ("ExeDirPath").
  LoadSystemSettings(*sites_, handlerMode_);
  options_->ShowLoadedSettings(handlerMode_);
  if (Para().DataBufferSel == 1) main_->SetRunControlsEnabled(true);
  main_->LogThread().SetLogDisplayMode(Para().LogDisplayMode);
}

void GangProgram::SetCaptionAndDefaults() {
  main_->setWindowTitle(
      QString::fromStdString(MainCaption(GetVersionText(), DebugMode(), BuildDateText())));
  options_->SetIntervalDefaults();
}

void GangProgram::StartDeviceNotices() {
  notices_->Start([this] { return BusSnapshot(); });
  notices_->Enable(true);
}

std::vector<std::string> GangProgram::BusSnapshot() {
  std::vector<std::string> names;
  const UnitScan scan = sites_->Links().EnumerateUnits();
  for (const struct usb_device* device : scan.Units) {
    const std::string bus = device->bus != nullptr ? device->bus->dirname : "";
    names.push_back(bus + "/" + device->filename);
  }
  return names;
}

int GangProgram::RescanUnits() {
  ::RescanUnits(*sites_);
  int present = 0;
  for (int site = 0; site < kSiteCount; ++site) {
    if (sites_->Link(site).IsOpened()) ++present;
  }
  return present;
}

void GangProgram::EndInOrder(int exitCode) {
  main_->SetStopAllEnabled(false);
  sites_->Session().RequestStop();
  SystemCleanup();
  main_->LogThread().Terminate();
  QApplication::exit(exitCode);  // not quit(): that would ask every window to close first
}

void GangProgram::SystemCleanup() {
  if (cleanedUp_) return;
  cleanedUp_ = true;
  notices_->Stop();
  CloseSystem(*sites_, handlerMode_);
}
