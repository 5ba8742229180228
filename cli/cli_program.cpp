#include "cli/cli_program.h"

#include "site/site_system.h"

namespace {
ProgramSetup SetupOf(const CliOptions& options, const CliEnvironment& env) {
  ProgramSetup setup;
  setup.baseDir = options.baseDir;
  setup.tempRoot = env.tempRoot;
  setup.bus.simulatedUnits = options.simulate;
  setup.bus.timing = env.simulationTiming;
  setup.bus.failRate = options.simFailRate;
  setup.bus.speed = options.simSpeed;
  setup.bus.sdCardRoot = options.simCards;
  setup.usbTrace = options.usbTrace;
  setup.recordsUrl = options.recordsUrl;
  return setup;
}
}  // namespace

HeadlessProgram::HeadlessProgram(const CliOptions& options, CliEnvironment& env,
                                 std::ostream& logStream)
    : env_(env), core_(SetupOf(options, env)) {
  log_ = std::make_unique<CliLog>(System().LogPipeline(), System().LogJournal(), logStream,
                                  outputMutex_);
  core_.AttachHost(host_);
  host_.SetBoxHook([this](const std::string& text, const std::string& caption) {
    std::lock_guard<std::mutex> lock(outputMutex_);
    env_.err << caption << ": " << text << '\n';
  });
}

HeadlessProgram::~HeadlessProgram() {
  core_.Close();
  log_->Flush();
  log_.reset();
}

bool HeadlessProgram::Initialize() {
  const bool passed = core_.Initialize();
  if (env_.prepare) env_.prepare(System());
  return passed;
}
