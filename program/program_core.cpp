#include "program/program_core.h"

#include <stdexcept>

#include "site/ops/operation_list.h"
#include "site/run_session.h"
#include "site/site_system.h"
#include "site/system_startup.h"
#include "support/system_paths_init.h"

namespace {
RegistryStore ChooseRegistry(const std::optional<RegistryStore>& given) {
  // The environment may name another store only for a program in its build tree.
  return given ? *given : RegistryStore::ForProgram(!IsInstalledProgram(ExecutableDir()));
}
}  // namespace

ProgramCore::ProgramCore(ProgramSetup setup)
    : setup_(std::move(setup)),
      registry_(ChooseRegistry(setup_.registry)),
      bus_(ChooseUsbBus(setup_.bus)) {
  SiteSystemConfig config;
  config.RecordsUrl = setup_.recordsUrl;
  config.Operations = SiteOperationList();
  system_ = std::make_unique<SiteSystem>(*bus_.library, std::move(config));
  privateTemp_ = SetSystemPaths(*system_, {setup_.baseDir, setup_.tempRoot, {}});
  system_->LogJournal().SetMirrorToStdout(setup_.logStdout);
  if (!setup_.usbTrace.empty() && !system_->Links().Trace().Start(setup_.usbTrace)) {
    throw std::runtime_error("cannot write the USB trace file " + setup_.usbTrace);
  }
}

ProgramCore::~ProgramCore() {
  system_.reset();
}

void ProgramCore::AttachHost(SiteHost& host) {
  system_->AttachHost(host);
}

void ProgramCore::LoadSettings() {
  if (registry_.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode)) {
    handlerMode_ = true;
  }
  LoadSystemSettings(*system_, handlerMode_);
  system_->LogPipeline().SetLogDisplayMode(system_->Para().LogDisplayMode);
  system_->Session().PublishSettingsLoaded(handlerMode_);
}

bool ProgramCore::Initialize(const std::function<void()>& beforeChecks) {
  system_->Usb().set_debug(0);  // the links' table initialised the library when it was built
  ReportRegistryStore(registry_, system_->Log());
  LoadSettings();
  if (beforeChecks) beforeChecks();
  const bool passed = CheckSystemFiles(*system_, privateTemp_);
  system_->Log().Write(passed ? kInitFinish : kInitFail,
                       passed ? LogColour::Green : LogColour::Red);
  return passed;
}

void ProgramCore::Close() {
  if (closed_) return;
  closed_ = true;
  CloseSystem(*system_, handlerMode_);
}
