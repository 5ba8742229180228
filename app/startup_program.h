#pragma once
// The whole program as one object: the ProgramCore (bus, site system, paths, log, records) that
// gangprog-cli builds too, the main, options and project windows, the device notices and the
// station server, built in the order the start-up needs and torn down in reverse, every thread
// joined. main() makes one; a test makes as many
// as it likes, each on its own base folder and bus.
#include <QObject>
#include <memory>
#include <optional>
#include <string>

#include "app/main_form.h"
#include "program/program_core.h"

class DeviceNoticeSource;
class SiteSystem;
class StationFeed;
class StationServer;
class WindowStation;
class TOptionsForm;
class TProjectForm;

// The program's setup (bus, paths, log, records) and what the windows do after the start-up.
struct ProgramOptions : ProgramSetup {
  std::string project;             // loaded after the first rescan; empty: none
  bool autoRun = false;            // after the start-up, with a project: the automatic run
  bool showProjectWindow = false;  // after the start-up: the project window opens
  int exitAfterParts = 0;  // with autoRun: end in order once this many parts are counted; 0 never
  bool serve = false;      // after the start-up: the station server on serveHost:servePort
  std::string serveHost = "127.0.0.1";
  int servePort = 0;       // 0: any free port (ServePort() tells which)
  std::string serveToken;  // empty: none asked (loopback only)
};

class GangProgram final : public QObject {
  Q_OBJECT
 public:
  // Builds the windows and the site system; nothing is shown yet. Throws std::runtime_error
  // when the transfer trace cannot be opened.
  explicit GangProgram(ProgramOptions options);
  ~GangProgram() override;
  GangProgram(const GangProgram&) = delete;
  GangProgram& operator=(const GangProgram&) = delete;

  // Shows the main window; its first showing runs the start-up (FirstShow).
  void Show();
  // The main window's first showing: panels, USB library, SystemInitialization, first scan.
  void FirstShow();
  // After a successful start-up: what the command line asked for (project window, automatic run).
  void StartRequestedActions();
  bool StartupDone() const { return startupDone_; }
  bool StartupSucceeded() const { return startupSucceeded_; }

  // The steps of the start-up, in the names the program's developers use.
  bool SystemInitialization();
  void LoadSystemIni();
  void SetCaptionAndDefaults();
  void SystemCleanup();
  // Ends the program in order from the event loop (a termination signal, a missing resource
  // pack): an automatic run ends after the part in hand, the exit clean-up runs, the log ends.
  void EndInOrder(int exitCode);
  bool DebugMode() const;
  bool HandlerMode() const { return core_.HandlerMode(); }

  // The rescan of start-up and of the device notices; the number of units present.
  int RescanUnits();

  TMainForm& Main() { return *main_; }
  TOptionsForm& Options() { return *options_; }
  TProjectForm& ProjectWindow() { return *project_; }
  void LoadStartProject();
  // The station server's port once it serves; 0 while it does not.
  int ServePort() const;
  SiteSystem& Sites() { return core_.System(); }
  DeviceNoticeSource& Notices() { return *notices_; }
  UsbBusChoice& Bus() { return core_.Bus(); }
  S_SystemPara& Para();
  const SystemPaths& Paths() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildOptionsWindow();
  void BuildProjectWindow();
  void StartDeviceNotices();
  void StartStationServer();
  // Before the system closes: no request reaches the windows any more, a run from the network
  // ends after the part in hand, every connection is closed. Again later does nothing.
  void StopStationServer();
  // --exit-after-parts: "Stop All" once enough parts are counted, the end once the run is over
  // (status 0 when it got there, else 1), the shown counts printed on standard output.
  void OnStatisticsShown(std::uint32_t pass, std::uint32_t fail);
  void OnRunEnded();
  void EndUnattended(int exitCode, const std::string& reason);
  std::vector<std::string> BusSnapshot();

  ProgramOptions config_;
  ProgramCore core_;                 // outlives the windows that draw its system
  std::unique_ptr<TMainForm> main_;  // draws the system; attaches its site host
  std::unique_ptr<TOptionsForm> options_;
  std::unique_ptr<TProjectForm> project_;
  std::unique_ptr<DeviceNoticeSource> notices_;
  std::unique_ptr<StationFeed> feed_;       // outlives the station and the server
  std::unique_ptr<WindowStation> station_;  // outlives the server
  std::unique_ptr<StationServer> server_;
  bool firstShowSeen_ = false;
  bool startupDone_ = false;
  bool startupSucceeded_ = false;
  bool cleanedUp_ = false;
  bool partsReached_ = false;  // --exit-after-parts: the count is reached, "Stop All" pressed
};
