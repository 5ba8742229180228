#include "app/startup_program.h"

#include <QCheckBox>
#include <QEvent>
#include <QToolButton>
#include <stdexcept>

#include "app/device_notice.h"
#include "app/options_form.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "app/startup.h"
#include "link/link_table.h"
#include "log/core/log_thread.h"
#include "site/command.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "support/file_helpers.h"
#include "support/system_ini.h"

namespace {
constexpr const char* kInitFinish = "System Initialization Finish";
constexpr const char* kInitFail = "System Initialization Fail!";
constexpr const char* kTempFolderFail = "Private Temporary Folder Not Available!";
}  // namespace

GangProgram::GangProgram(ProgramOptions options)
    : config_(std::move(options)),
      registry_(config_.registry ? *config_.registry : RegistryStore::FromEnvironment()) {
  // The base folder is known before any window: the log journal lives below it.
  InitSystemPaths(paths_, {config_.baseDir, config_.tempRoot});
  bus_ = ChooseUsbBus(config_.simulatedUnits, config_.simulationTiming);
  main_ = std::make_unique<TMainForm>(para_, paths_, locks_);
  main_->SetMirrorLogToStdout(config_.logStdout);
  sites_ = std::make_unique<SiteSystem>(para_, paths_, *bus_.library, main_->LogThread(),
                                        main_->SiteHost(), locks_);
  if (!config_.usbTrace.empty() && !sites_->Links().Trace().Start(config_.usbTrace)) {
    throw std::runtime_error("cannot write the USB trace file " + config_.usbTrace);
  }
  main_->SetEngine(this);
  main_->SetExitCleanup([this] { SystemCleanup(); });
  notices_ = std::make_unique<DeviceNoticeSource>();
  connect(notices_.get(), &DeviceNoticeSource::DeviceChanged, main_.get(),
          &TMainForm::OnDeviceChange, Qt::QueuedConnection);
  BuildOptionsWindow();
  main_->installEventFilter(this);
}

GangProgram::~GangProgram() {
  // Notices first (no rescan can start any more), then the workers, then the windows; the bus
  // goes last, after the links that use it.
  notices_->Stop();
  if (main_) main_->removeEventFilter(this);
  sites_->Shutdown();
  sites_.reset();
  options_.reset();
  main_.reset();
}

void GangProgram::BuildOptionsWindow() {
  OptionsFormWiring wiring;
  wiring.loadSystemIni = [this] { LoadSystemIni(); };
  wiring.siteStatus = [this](int site) { return main_->SiteHost().Status(site); };
  wiring.projectLoaded = [this] { return main_->ProjectLoaded(); };
  wiring.clearProjectPath = [this] { main_->SetProjectPath(""); };
  wiring.setRunControlsEnabled = [this](bool on) { main_->SetRunControlsEnabled(on); };
  wiring.untickAutoRun = [this] { main_->AutoRunCheckBox->setChecked(false); };
  wiring.setLogDisplayMode = [this](std::int32_t mode) {
    main_->LogThread().SetLogDisplayMode(mode);
  };
  wiring.clearSiteInformation = [this] {
    for (int site = 0; site < kSiteCount; ++site) {
      S_GetUSBCmdData& data = sites_->CmdData(site);
      data.BiosNumber = 0;
      data.BiosVersion.clear();
      data.SerialText.clear();
      data.SelfTestText.clear();
    }
  };
  wiring.enableMainWindow = [this] { main_->setEnabled(true); };
  wiring.logFailure = [this](const std::string& text) {
    main_->LogThread().AddLogMessage(text, LogColour::Red, 1, 0);
  };
  wiring.debugMode = DebugMode();
  options_ = std::make_unique<TOptionsForm>(para_, paths_, &main_->SiteHost().Options(),
                                            std::move(wiring));
  main_->SetOptionsWindow(options_.get(), [this] { options_->FormActivate(); });
  // Creation: the paths, then the first settings load (the window's creation handler).
  InitSystemPaths(paths_, {config_.baseDir, config_.tempRoot});
  options_->FormCreate();
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
    main_->ToolButton1->setEnabled(true);
    main_->LogThread().AddLogMessage(kInitFinish, LogColour::Green, 1, 0);
    RescanUnits();
    StartDeviceNotices();
  } else {
    main_->LogThread().AddLogMessage(kInitFail, LogColour::Red, 1, 0);
  }
  main_->setEnabled(true);
  startupDone_ = true;
}

bool GangProgram::SystemInitialization() {
  const bool privateTemp = InitSystemPaths(paths_, {config_.baseDir, config_.tempRoot});
  LoadSystemIni();
  SetCaptionAndDefaults();
  if (!privateTemp) {
    // Fixed temporary names in a folder someone else controls could be planted or read.
    main_->LogThread().AddLogMessage(kTempFolderFail, LogColour::Red, 1, 0);
    return false;
  }
  if (!CheckDirectories(paths_.BaseDir)) return false;
  return ::LoadSelectList(paths_.BaseDir, selectList_, main_->LogThread());
}

void GangProgram::LoadSystemIni() {
  if (registry_.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode)) {
    handlerMode_ = true;
  }
  LoadSystemIniFile(paths_.BaseDir, handlerMode_, para_);
  sites_->Links().ApplySettings(para_);
  options_->ShowLoadedSettings(handlerMode_);
  if (para_.DataBufferSel == 1) main_->SetRunControlsEnabled(true);
  main_->LogThread().SetLogDisplayMode(para_.LogDisplayMode);
}

void GangProgram::SetCaptionAndDefaults() {
  main_->setWindowTitle(
      QString::fromStdString(MainCaption(GetVersionText(), DebugMode(), BuildDateText())));
  options_->SetIntervalDefaults();
}

void GangProgram::StartDeviceNotices() {
  if (bus_.simulated != nullptr) {
    notices_->AttachSimulatedBus(*bus_.simulated);
  } else if (!notices_->StartUdev()) {
    notices_->StartPolling([this] { return BusSnapshot(); }, config_.pollPeriodMs);
  }
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

bool GangProgram::StartCommand(int site, OpcodeQueue queue) {
  return Command(*sites_, site, queue).Started();
}

void GangProgram::WaitForSites() {
  ::WaitForSites(main_->SiteHost());
}

void GangProgram::ResetRunResults(int site) {
  if (LinkTable::IsSiteIndex(site)) sites_->RunBytes(site).Reset();
}

bool GangProgram::ProcedureSelected() {
  // The project records join the site system with the project window; until a project can be
  // loaded no procedure step is selected.
  return false;
}

void GangProgram::SystemCleanup() {
  if (cleanedUp_) return;
  cleanedUp_ = true;
  notices_->Stop();
  sites_->Shutdown();  // no worker runs any more: the close notices use the links directly
  if (!handlerMode_) {
    for (int site = 0; site < kSiteCount; ++site) {
      if (main_->SiteHost().Status(site) == siNone) continue;
      sites_->Opcodes().Run(*sites_, Opcodes::CloseNotice, site, {});
    }
  }
  // Without a private folder there are no temporary files of ours to remove.
  if (!paths_.TempDir.empty()) {
    for (const char* name : kTempFiles) DeleteTempFile(paths_.TempDir + name, main_->LogThread());
    DeleteTempFile(paths_.TempDir + kGroupDefineTempFile, main_->LogThread());
  }
  CloseAllLinks();
}

void GangProgram::CloseAllLinks() {
  for (int site = 0; site < kSiteCount; ++site) sites_->Link(site).CloseDevice();
}
