#pragma once
// The subcommands of gangprog-cli. Each returns the program's exit status (CliExit).
#include "cli/cli_options.h"

class HeadlessProgram;
struct CliEnvironment;

// Greets, identifies and orders the units; prints the site table (or one JSON object).
int ScanCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);

// Loads the project and runs it once or as the automatic loop on the chosen sites; "sd run"
// runs each unit's run project from its SD card the same way.
int RunCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);
// The run itself once the program is initialised (and, from the PC, the project loaded): the
// events, the wait and the summary, shared by "run" and "sd run".
int RunParts(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);

// info, self-test, led: the unit service queue on every chosen unit, then per unit what it
// reported (firmware number, version, serial text, identifier; or the self-test text).
int ServiceCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);
// Compares the units' firmware with the database's (--check) or updates it (--update).
int FirmwareCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);
// The SD card project store and the other card actions (sd list, add, copy, delete, format).
int SdCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);

// Serves the station (HTTP API, event stream, metrics, dashboard) until Ctrl-C or SIGTERM;
// a run that is going then finishes the parts in hand.
int ServeCommand(HeadlessProgram& program, const CliOptions& options, CliEnvironment& env);

// Prints the per-part records; needs no units.
int RecordsCommand(const CliOptions& options, CliEnvironment& env);
