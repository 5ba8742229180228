#pragma once
// gangprog-cli serve as its own process, as a line controller meets it: started with a command
// line, its standard output read until it names its port (and drained after, so its log never
// blocks), ended with SIGTERM. Every wait has a deadline.
#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ServeProcess {
 public:
  // Starts ZV_CLI_PROGRAM with `args` and the environment with `tempDir` as TMPDIR (the
  // program's private temporary folder below it, apart from other tests'); Port() is 0 when it
  // ended or named no port in time.
  ServeProcess(const std::vector<std::string>& args, const std::string& tempDir);
  ~ServeProcess();  // SIGKILL if still running
  ServeProcess(const ServeProcess&) = delete;
  ServeProcess& operator=(const ServeProcess&) = delete;

  int Port() const { return port_; }
  // SIGTERM, then the exit status (-1 when it did not end within the deadline).
  int Stop(std::chrono::seconds deadline = std::chrono::seconds(120));
  // Waits for the process to end by itself (a refused start); its exit status or -1.
  int Wait(std::chrono::seconds deadline);
  std::string Output() const;  // standard output and error so far

 private:
  void Drain();
  int Reap(std::chrono::seconds deadline);
  static int StatusOf(int waitStatus);

  pid_t pid_ = -1;
  int exitStatus_ = -1;  // once reaped
  int outFd_ = -1;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::string output_;
  std::thread drainer_;
};
