#include "cli/cli_main.h"

#include <stdexcept>

#include "cli/commands.h"

namespace {
int RunWithSystem(const CliOptions& options, CliEnvironment& env) {
  // In JSON mode standard output carries only the JSON; the log goes to the error stream.
  std::ostream& logStream = options.json ? env.err : env.out;
  try {
    HeadlessProgram program(options, env, logStream);
    switch (options.command) {
      case CliCommand::Scan:
        return ScanCommand(program, options, env);
      case CliCommand::Run:
        return RunCommand(program, options, env);
      case CliCommand::Firmware:
        return FirmwareCommand(program, options, env);
      case CliCommand::Sd:
        return SdCommand(program, options, env);
      case CliCommand::Serve:
        return ServeCommand(program, options, env);
      default:
        return ServiceCommand(program, options, env);
    }
  } catch (const std::runtime_error& error) {
    env.err << "gangprog-cli: " << error.what() << '\n';
    return CliExit::BadInput;
  }
}
}  // namespace

int RunCli(const std::vector<std::string>& args, CliEnvironment& env) {
  const ParsedCommandLine parsed = ParseCliCommandLine(args);
  env.out << parsed.out;
  env.err << parsed.err;
  if (!parsed.options) return parsed.exitCode;
  if (parsed.options->command == CliCommand::Records) return RecordsCommand(*parsed.options, env);
  return RunWithSystem(*parsed.options, env);
}
