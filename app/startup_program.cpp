#include "app/startup_program.h"

#include <QApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <cstdio>
#include <filesystem>

#include "app/device_notice.h"
#include "app/options_form.h"
#include "app/part_counts.h"
#include "app/project_form.h"
#include "app/qt_site_host.h"
#include "app/site_frame.h"
#include "app/startup.h"
#include "app/window_station.h"
#include "app/window_wiring.h"
#include "link/link_table.h"
#include "log/core/log_queue.h"
#include "log/view/log_view.h"
#include "project/cproject.h"
#include "serve/station_feed.h"
#include "serve/station_server.h"
#include "site/rescan.h"
#include "site/site_system.h"
#include "site/site_wait.h"
#include "site/system_startup.h"

namespace {
constexpr const char* kProjectsFolder = "Projects";  // the station's project root below the base
}  // namespace

// The base folder is known before any window (the core sets the paths): the log journal lives
// below it.
GangProgram::GangProgram(ProgramOptions options) : config_(std::move(options)), core_(config_) {
  main_ = std::make_unique<TMainForm>(Sites());
  connect(main_.get(), &TMainForm::ExitCleanupRequested, this, &GangProgram::SystemCleanup);
  connect(&main_->SiteHost(), &QtSiteHost::ExitRequested, this, [this] { EndInOrder(1); });
  notices_ = std::make_unique<DeviceNoticeSource>(*Bus().notices);
  connect(notices_.get(), &DeviceNoticeSource::DeviceChanged, main_.get(),
          &TMainForm::OnDeviceChange, Qt::QueuedConnection);
  if (config_.exitAfterParts > 0) {
    connect(main_.get(), &TMainForm::StatisticsShown, this, &GangProgram::OnStatisticsShown);
    connect(main_.get(), &TMainForm::RunEnded, this, &GangProgram::OnRunEnded);
  }
  BuildOptionsWindow();
  BuildProjectWindow();
  main_->installEventFilter(this);
}

GangProgram::~GangProgram() {
  // The server and notices first (no request or rescan can start any more), then the workers,
  // then the windows; the bus goes last, after the links that use it.
  StopStationServer();
  station_.reset();
  feed_.reset();
  notices_->Stop();
  if (main_) main_->removeEventFilter(this);
  Sites().Shutdown();
  project_.reset();
  options_.reset();
  main_.reset();
}

S_SystemPara& GangProgram::Para() {
  return Sites().Para();
}

const SystemPaths& GangProgram::Paths() const {
  return core_.System().Paths();
}

void GangProgram::BuildOptionsWindow() {
  options_ = std::make_unique<TOptionsForm>(Sites(), DebugMode());
  ConnectOptionsWindow(*main_, *options_);
  connect(options_.get(), &TOptionsForm::SettingsLoadRequested, this, &GangProgram::LoadSystemIni);
  // Creation: the first settings load (the window's creation handler).
  options_->FormCreate();
}

void GangProgram::BuildProjectWindow() {
  project_ = std::make_unique<TProjectForm>(Sites());
  ConnectProjectWindow(*main_, *project_);
}

// The project named on the command line loads as the project window would load it, and joins
// its history under its full path.
void GangProgram::LoadStartProject() {
  std::error_code error;
  const std::filesystem::path full = std::filesystem::absolute(config_.project, error);
  Sites().Session().LoadProject(error ? config_.project : full.lexically_normal().string());
}

bool GangProgram::DebugMode() const {
  return core_.Registry().CheckRegistryMode(RegistryKey::DebugMode, AccessCode::DebugMode);
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
  startupSucceeded_ = SystemInitialization();
  if (startupSucceeded_) {
    main_->projectToolButton->setEnabled(true);
    RescanUnits();
    if (!config_.project.empty()) LoadStartProject();
    StartDeviceNotices();
    if (config_.serve) StartStationServer();
  }
  main_->setEnabled(true);
  startupDone_ = true;
  if (startupSucceeded_) {
    StartRequestedActions();
  } else if (config_.exitAfterParts > 0) {
    EndUnattended(1, "the start-up failed");
  }
}

void GangProgram::StartRequestedActions() {
  // Queued, so that the start-up returns first; the buttons do what a click would.
  if (config_.showProjectWindow) {
    QMetaObject::invokeMethod(main_->projectToolButton, &QToolButton::click, Qt::QueuedConnection);
  }
  if (config_.autoRun && main_->RunProgramButton->isEnabled()) {
    QMetaObject::invokeMethod(main_.get(), &TMainForm::StartAutomaticRun, Qt::QueuedConnection);
  } else if (config_.exitAfterParts > 0) {
    EndUnattended(1, "no automatic run could start (no project loaded?)");
  }
}

void GangProgram::OnStatisticsShown(std::uint32_t pass, std::uint32_t fail) {
  if (partsReached_ || std::uint64_t{pass} + fail < std::uint64_t(config_.exitAfterParts)) return;
  partsReached_ = true;
  // As "Stop All" does: every site finishes the part in hand, then the automatic run ends.
  main_->SetStopAllEnabled(false);
  Sites().Session().RequestStop();
}

void GangProgram::OnRunEnded() {
  main_->SiteHost().Drain();  // the counters of the last parts are drawn before they are read
  std::printf("%s\n", PartCountLine(PartCountsShownIn(*main_)).c_str());
  std::fflush(stdout);
  if (partsReached_) {
    EndUnattended(0, {});
  } else {
    EndUnattended(1, "the automatic run ended before " + std::to_string(config_.exitAfterParts) +
                         " parts were counted");
  }
}

void GangProgram::EndUnattended(int exitCode, const std::string& reason) {
  if (!reason.empty()) std::fprintf(stderr, "gangprog: --exit-after-parts: %s\n", reason.c_str());
  // Queued: the handler that got here returns first.
  QMetaObject::invokeMethod(
      this, [this, exitCode] { EndInOrder(exitCode); }, Qt::QueuedConnection);
}

bool GangProgram::SystemInitialization() {
  return core_.Initialize([this] { SetCaptionAndDefaults(); });
}

// The settings may move the base folder ("ExeDirPath").
void GangProgram::LoadSystemIni() {
  core_.LoadSettings();
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
  const UnitScan scan = Sites().Links().EnumerateUnits();
  for (const struct usb_device* device : scan.Units) {
    const std::string bus = device->bus != nullptr ? device->bus->dirname : "";
    names.push_back(bus + "/" + device->filename);
  }
  return names;
}

int GangProgram::RescanUnits() {
  ::RescanUnits(Sites());
  int present = 0;
  for (int site = 0; site < kSiteCount; ++site) {
    if (Sites().Link(site).IsOpened()) ++present;
  }
  return present;
}

void GangProgram::EndInOrder(int exitCode) {
  main_->SetStopAllEnabled(false);
  Sites().Session().RequestStop();
  SystemCleanup();
  // What was logged up to here is shown and in the journal before the log ends.
  main_->LogView().FlushPending();
  main_->LogPipeline().Terminate();
  QApplication::exit(exitCode);  // not quit(): that would ask every window to close first
}

void GangProgram::StartStationServer() {
  ServerOptions options;
  options.host = config_.serveHost;
  options.port = config_.servePort;
  options.token = config_.serveToken;
  options.projectRoots.push_back(Paths().BaseDir + kProjectsFolder);
  feed_ = std::make_unique<StationFeed>();
  station_ = std::make_unique<WindowStation>(*this, *feed_);
  server_ = std::make_unique<StationServer>(*station_, *feed_, options);
  std::string error;
  if (server_->Start(error)) {
    main_->LogPipeline().Write("Serving the station on http://" + options.host + ':' +
                                   std::to_string(server_->Port()) + '/',
                               LogColour::Green);
  } else {
    main_->LogPipeline().Write("Station server: " + error, LogColour::Red);
    StopStationServer();
    station_.reset();
    feed_.reset();
  }
}

// The station and the feed stay until the program object goes: the clean-up may run inside a
// step the station takes on the UI thread (a message box of a load, in a nested event loop).
void GangProgram::StopStationServer() {
  if (station_) station_->Close();
  server_.reset();
}

int GangProgram::ServePort() const {
  return server_ ? server_->Port() : 0;
}

void GangProgram::SystemCleanup() {
  if (cleanedUp_) return;
  cleanedUp_ = true;
  StopStationServer();
  notices_->Stop();
  core_.Close();
}
