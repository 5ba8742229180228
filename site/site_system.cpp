#include "site/site_system.h"

#include "site/ops/site_operations.h"

SiteSystem::SiteSystem(S_SystemPara& para, SystemPaths& paths, UsbLibrary& usb, LogSink& log,
                       SiteHost& host, NamedLocks& locks, LinkTableOptions linkOptions)
    : para_(para),
      paths_(paths),
      usb_(usb),
      log_(log),
      host_(host),
      locks_(locks),
      links_(usb, locks, para, std::move(linkOptions)) {
  RegisterSiteOperations(opcodes_);
}

SiteSystem::~SiteSystem() {
  Shutdown();
}

void SiteSystem::ResetRunBytes() {
  for (SiteRunBytes& bytes : runBytes_) bytes.Reset();
}
