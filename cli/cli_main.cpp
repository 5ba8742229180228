#include "cli/cli_main.h"

#include <stdexcept>

#include "cli/commands.h"

namespace {
int RunWithSystem(const CliOptions& options, CliEnvironment& env) {
  // In JSON mode standard output carries only the JSON; the log goes to the error stream.
  std::ostream& logStream = options.json ? env.err : env.out;
  try {
    HeadlessProgram program(options, env, logStream);
    if (options.command == CliCommand::Scan) return ScanCommand(program, options, env);
    if (options.command == CliCommand::Sd) return SdCommand(program, options, env);
    return RunCommand(program, options, env);
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
