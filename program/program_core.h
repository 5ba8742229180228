#pragma once
// The part of a program that every front end builds the same way: the bus (real or simulated
// units), the site system with its log pipeline, journal and per-part records, the paths, the
// settings load, the start-up checks and the close. The window program and gangprog-cli each
// own one and attach their host and their log consumer to it; neither assembles these pieces
// itself, so the two programs cannot drift apart.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "bus/bus_choice.h"
#include "support/registry_store.h"

class SiteHost;
class SiteSystem;

struct ProgramSetup {
  std::string baseDir;   // empty: the program's own folder (an installed one's user folder)
  std::string tempRoot;  // empty: the system temporary folder
  BusOptions bus;        // the real bus, or simulated units with their timing, fail rate and cards
  std::string usbTrace;  // empty: no transfer trace (beyond ZV_USB_TRACE)
  std::string recordsUrl;                 // empty: the settings' "[Records] Url"
  bool logStdout = false;                 // the journal's lines also on standard output
  std::optional<RegistryStore> registry;  // none: the program's own (RegistryStore::ForProgram)
};

class ProgramCore {
 public:
  // Chooses the bus, builds the system and sets its paths, the only time they are set from the
  // setup: the journal and the records live below the base folder from here on. Throws
  // std::runtime_error when the transfer trace cannot be opened.
  explicit ProgramCore(ProgramSetup setup);
  // The system goes before the bus its links use. Does not close (see Close).
  ~ProgramCore();
  ProgramCore(const ProgramCore&) = delete;
  ProgramCore& operator=(const ProgramCore&) = delete;

  // The front end that shows the panels; before any worker runs.
  void AttachHost(SiteHost& host);
  // The settings load: the handler mode (once on, on for the run), "System/System.ini" (which
  // may move the base folder), the links' settings, the records' URL, the log's display mode;
  // then the session's observers are told (OnSettingsLoaded).
  void LoadSettings();
  // The start-up: the USB library's debug output off, the registry's notice, the settings,
  // `beforeChecks` (a front end's own defaults), the private temporary folder, the database
  // seed, the directory tree and the driver index; logs "System Initialization Finish" or
  // "System Initialization Fail!" and returns whether it passed.
  bool Initialize(const std::function<void()>& beforeChecks = {});
  // The close, once: workers joined, close notices unless in handler mode, temporary files,
  // links, the last records committed and shipped. Later calls do nothing.
  void Close();

  SiteSystem& System() { return *system_; }
  const SiteSystem& System() const { return *system_; }
  UsbBusChoice& Bus() { return bus_; }
  const RegistryStore& Registry() const { return registry_; }
  bool HandlerMode() const { return handlerMode_; }

 private:
  ProgramSetup setup_;
  RegistryStore registry_;
  UsbBusChoice bus_;                    // outlives the system that drives it
  std::unique_ptr<SiteSystem> system_;  // the context: settings, log, panels, links, records
  bool privateTemp_ = false;            // the private temporary folder could be made
  bool handlerMode_ = false;
  bool closed_ = false;
};
