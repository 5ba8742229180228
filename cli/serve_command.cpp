// gangprog-cli serve: the station served to the line (HTTP API, event stream, metrics and the
// dashboard) on the system built as for every other subcommand, until Ctrl-C or SIGTERM. A run
// that is going then ends as "Stop All" ends it: every site finishes the part in hand.
#include "cli/cli_program.h"
#include "cli/commands.h"
#include "cli/stop_request.h"
#include "serve/access.h"
#include "serve/run_event_json.h"
#include "serve/site_station.h"
#include "serve/station_server.h"
#include "site/project_load.h"
#include "site/rescan.h"
#include "site/site_system.h"

namespace {
constexpr const char* kProjectsFolder = "Projects";

// The server's options from the command line; false with the reason printed when they cannot
// be used (a bad address, a token file that is not private, beyond loopback without one).
bool ServerOptionsFrom(const CliOptions& options, const std::string& baseDir, ServerOptions& server,
                       std::ostream& err) {
  if (!ParseListenAddress(options.listen, server.host, server.port)) {
    err << "gangprog-cli: --listen needs HOST:PORT, not " << options.listen << '\n';
    return false;
  }
  if (!options.tokenFile.empty()) {
    const TokenFile token = ReadTokenFile(options.tokenFile);
    if (!token.token) {
      err << "gangprog-cli: " << token.refusal << "; not serving\n";
      return false;
    }
    server.token = *token.token;
  }
  if (server.token.empty() && !IsLoopbackHost(server.host)) {
    err << "gangprog-cli: listening on " << server.host
        << " reaches other machines; give a --token-file; not serving\n";
    return false;
  }
  server.projectRoots.push_back(baseDir + kProjectsFolder);
  for (const std::string& root : options.projectRoots) server.projectRoots.push_back(root);
  return true;
}

void TapLog(HeadlessProgram& program, StationEvents& events) {
  program.Log().SetTap(
      [&events](const std::vector<ShownLogLine>& lines) { PublishLogLines(events, lines); });
}

// Serves until the stop request; then the run in hand ends and every stream is closed.
int Serve(HeadlessProgram& program, const ServerOptions& options, CliEnvironment& env) {
  SiteSystem& system = program.System();
  StationFeed feed;
  SiteStation engine(system, feed);
  StationServer server(engine, feed, options);
  TapLog(program, feed);
  std::string error;
  int status = CliExit::AllPassed;
  if (server.Start(error)) {
    {
      std::lock_guard<std::mutex> lock(program.OutputMutex());
      env.out << "Serving the station on http://" << options.host << ':' << server.Port() << '/'
              << std::endl;
    }
    if (env.stop != nullptr) env.stop->Wait();
    engine.RequestStop();
    engine.WaitForRun();
  } else {
    env.err << "gangprog-cli: " << error << '\n';
    status = CliExit::BadInput;
  }
  server.Stop();
  program.Log().SetTap(nullptr);
  system.Shutdown();
  program.Log().Flush();
  return status;
}
}  // namespace

int ServeCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env) {
  if (!program.Initialize()) return CliExit::BadInput;
  ServerOptions server;
  if (!ServerOptionsFrom(options, program.System().Paths().BaseDir, server, env.err)) {
    return CliExit::BadInput;
  }
  RescanUnits(program.System());
  if (!options.project.empty() &&
      program.System().Session().LoadProject(options.project) != LoadCode::Loaded) {
    return CliExit::BadInput;  // the load has shown its message
  }
  return Serve(program, server, env);
}
