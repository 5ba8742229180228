#pragma once
// gangprog-cli as a function: the command line in, the exit status out, every output on the
// environment's streams. main() calls it; the tests call it in-process on simulated units.
#include <string>
#include <vector>

#include "cli/cli_program.h"

// `args` without the program name.
int RunCli(const std::vector<std::string>& args, CliEnvironment& env);
