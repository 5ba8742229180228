#include "cli/cli_program.h"

#include <stdexcept>

#include "site/ops/operation_list.h"
#include "site/site_system.h"
#include "site/system_startup.h"
#include "support/registry_store.h"

namespace {
UsbBusChoice ChooseBus(const CliOptions& options, const CliEnvironment& env) {
  BusOptions bus;
  bus.simulatedUnits = options.simulate;
  bus.timing = env.simulationTiming;
  bus.failRate = options.simFailRate;
  bus.speed = options.simSpeed;
  bus.sdCardRoot = options.simCards;
  return ChooseUsbBus(bus);
}
}  // namespace

HeadlessProgram::HeadlessProgram(const CliOptions& options, CliEnvironment& env,
                                 std::ostream& logStream)
    : env_(env), baseDir_(options.baseDir), bus_(ChooseBus(options, env)) {
  SiteSystemConfig config;
  config.RecordsUrl = options.recordsUrl;
  config.Operations = SiteOperationList();
  system_ = std::make_unique<SiteSystem>(*bus_.library, std::move(config));
  log_ = std::make_unique<CliLog>(system_->LogPipeline(), system_->LogJournal(), logStream,
                                  outputMutex_);
  system_->AttachHost(host_);
  host_.SetBoxHook([this](const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> lock(outputMutex_);
    env_.err << caption << ": " << text << '\n';
  });
  if (!options.usbTrace.empty() && !system_->Links().Trace().Start(options.usbTrace)) {
    throw std::runtime_error("cannot write the USB trace file " + options.usbTrace);
  }
}

HeadlessProgram::~HeadlessProgram() {
  CloseSystem(*system_, handlerMode_);
  log_->Flush();
  log_.reset();
  system_.reset();
}

bool HeadlessProgram::Initialize() {
  system_->Usb().set_debug(0);
  // The environment may name another store only for a program in its build tree.
  const RegistryStore registry = RegistryStore::ForProgram(!IsInstalledProgram(ExecutableDir()));
  handlerMode_ = registry.CheckRegistryMode(RegistryKey::HandlerMode, AccessCode::HandlerMode);
  const bool privateTemp = SetSystemPaths(*system_, {baseDir_, env_.tempRoot, {}});
  ReportRegistryStore(registry, system_->Log());
  LoadSystemSettings(*system_, handlerMode_);
  system_->LogPipeline().SetLogDisplayMode(system_->Para().LogDisplayMode);
  const bool ok = CheckSystemFiles(*system_, privateTemp);
  system_->Log().Write(ok ? kInitFinish : kInitFail, ok ? LogColour::Green : LogColour::Red);
  if (env_.prepare) env_.prepare(*system_);
  return ok;
}
