#pragma once
// The context of one running system: created once at start-up and handed down to everything
// that works on the sites. It refers to the objects the program owns elsewhere (settings,
// paths, the USB library, the log, the windows, the named locks) and owns what belongs to the
// sites: the link table, the per-site records, the opcode table and the workers. Nothing of it
// is global, so a test process can build as many systems as it likes.
#include <array>

#include "link/link_table.h"
#include "site/opcode_table.h"
#include "site/site_engine.h"
#include "site/site_host.h"
#include "site/site_run_bytes.h"
#include "site/usb_cmd_data.h"

class LogSink;
class NamedLocks;
class UsbLibrary;
struct S_SystemPara;
struct SystemPaths;

class SiteSystem {
 public:
  // Builds the link table (which initialises the USB library) and registers every built
  // site operation in the opcode table.
  SiteSystem(S_SystemPara& para, SystemPaths& paths, UsbLibrary& usb, LogSink& log, SiteHost& host,
             NamedLocks& locks, LinkTableOptions linkOptions = {});
  // Joins every worker before the links and records they use go.
  ~SiteSystem();
  SiteSystem(const SiteSystem&) = delete;
  SiteSystem& operator=(const SiteSystem&) = delete;

  S_SystemPara& Para() { return para_; }
  SystemPaths& Paths() { return paths_; }
  UsbLibrary& Usb() { return usb_; }
  LogSink& Log() { return log_; }
  SiteHost& Host() { return host_; }
  NamedLocks& Locks() { return locks_; }

  LinkTable& Links() { return links_; }
  ZvUsb& Link(int site) { return links_.Link(site); }
  bool UnitPresent(int site) { return links_.IsUnitPresent(site); }

  // Site indexes 0..7; the caller checks the range (LinkTable::IsSiteIndex).
  S_GetUSBCmdData& CmdData(int site) { return cmdData_[static_cast<std::size_t>(site)]; }
  SiteRunBytes& RunBytes(int site) { return runBytes_[static_cast<std::size_t>(site)]; }
  // What the run starters do before every run: all eight sites' run bytes back to zero.
  void ResetRunBytes();

  OpcodeTable& Opcodes() { return opcodes_; }
  SiteEngine& Engine() { return engine_; }

  // Joins every worker; later Commands start nothing. The destructor calls it too.
  void Shutdown() { engine_.JoinAll(); }

 private:
  S_SystemPara& para_;
  SystemPaths& paths_;
  UsbLibrary& usb_;
  LogSink& log_;
  SiteHost& host_;
  NamedLocks& locks_;

  LinkTable links_;
  std::array<S_GetUSBCmdData, kSiteCount> cmdData_{};
  std::array<SiteRunBytes, kSiteCount> runBytes_{};

  // The project records (ZV_Driver_INI, S_ProjectValue, SiteProcessPlan, the driver and
  // hardware images, the menu record) join here, one per site where they are per site, when
  // the project work lands; the workers read them, the project window writes them between runs.

  OpcodeTable opcodes_;
  SiteEngine engine_{*this};  // last: destroyed first, so its workers end before the rest
};
