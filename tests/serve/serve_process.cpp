#include "tests/serve/serve_process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

extern char** environ;

namespace {
constexpr std::chrono::seconds kStartDeadline{120};
constexpr int kPollMs = 50;
}  // namespace

ServeProcess::ServeProcess(const std::vector<std::string>& args, const std::string& tempDir) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  std::vector<std::string> argv = {ZV_CLI_PROGRAM};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  std::vector<std::string> environment = {"TMPDIR=" + tempDir};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string(*entry).rfind("TMPDIR=", 0) != 0) environment.emplace_back(*entry);
  }
  std::vector<char*> envPointers;
  for (std::string& entry : environment) envPointers.push_back(entry.data());
  envPointers.push_back(nullptr);
  if (posix_spawn(&pid_, ZV_CLI_PROGRAM, &actions, nullptr, pointers.data(), envPointers.data()) !=
      0) {
    pid_ = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  outFd_ = pipeFds[0];
  drainer_ = std::thread([this] { Drain(); });
  const std::regex serving("Serving the station on http://[^:]+:([0-9]+)/");
  const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
  while (std::chrono::steady_clock::now() < deadline) {
    std::smatch match;
    const std::string text = Output();
    if (std::regex_search(text, match, serving)) {
      port_ = std::stoi(match[1]);
      return;
    }
    int status = 0;
    if (pid_ < 0) return;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exitStatus_ = StatusOf(status);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  }
}

ServeProcess::~ServeProcess() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (drainer_.joinable()) drainer_.join();
  if (outFd_ >= 0) close(outFd_);
}

void ServeProcess::Drain() {
  char buffer[4096];
  for (;;) {
    const ssize_t got = read(outFd_, buffer, sizeof buffer);
    if (got <= 0) return;
    std::lock_guard<std::mutex> lock(mutex_);
    output_.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string ServeProcess::Output() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return output_;
}

int ServeProcess::StatusOf(int waitStatus) {
  return WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
}

int ServeProcess::Reap(std::chrono::seconds deadline) {
  const auto until = std::chrono::steady_clock::now() + deadline;
  while (pid_ > 0 && std::chrono::steady_clock::now() < until) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      exitStatus_ = StatusOf(status);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
  }
  if (pid_ < 0 && drainer_.joinable()) drainer_.join();
  return pid_ < 0 ? exitStatus_ : -1;
}

int ServeProcess::Stop(std::chrono::seconds deadline) {
  if (pid_ > 0) kill(pid_, SIGTERM);
  return Reap(deadline);
}

int ServeProcess::Wait(std::chrono::seconds deadline) {
  return Reap(deadline);
}
