#pragma once
// Runs a program from an argument vector, without a shell, with bytes for its standard input
// and its standard output and error collected (each up to a limit; the rest is drained).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ChildResult {
  bool Started = false;  // false: the program could not be run (see Error)
  int ExitCode = -1;     // exit status; 128 + n when killed by signal n
  std::string Out;
  std::string Err;
  std::string Error;  // why it did not start or could not be waited for
};

// `input` is written into the pipe before the child starts, so it must fit the pipe buffer
// (the caller keeps it short); the child sees end of file after it. argv[0] without "/" is
// searched in PATH.
ChildResult RunChild(const std::vector<std::string>& argv, std::string_view input,
                     std::size_t outLimit = 1 << 20, std::size_t errLimit = 1 << 16);

// Largest `input` RunChild accepts.
inline constexpr std::size_t kChildInputLimit = 4096;
