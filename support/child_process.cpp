#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

extern char** environ;

namespace {

// Closes its descriptor at the end of every path.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int Get() const { return fd_; }
  void Reset(int fd) {
    Close();
    fd_ = fd;
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct Pipe {
  Fd Read;
  Fd Write;
  bool Open() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return false;
    Read.Reset(fds[0]);
    Write.Reset(fds[1]);
    return true;
  }
};

class SpawnActions {
 public:
  SpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  ~SpawnActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  bool Dup(int from, int to) {
    return ok_ && posix_spawn_file_actions_adddup2(&actions_, from, to) == 0;
  }
  bool CloseOthers() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors that other threads opened without close-on-exec stay out of the child.
    return ok_ && posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0;
#else
    return ok_;
#endif
  }
  const posix_spawn_file_actions_t* Get() const {
    return &actions_;
  }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

// The child starts with no blocked signals and default handling of SIGPIPE, whatever the
// calling thread (a worker, the UI thread under a toolkit) has set for itself.
class SpawnAttributes {
 public:
  SpawnAttributes() {
    initialised_ = posix_spawnattr_init(&attr_) == 0;
    if (!initialised_) return;
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    ok_ = posix_spawnattr_setsigmask(&attr_, &none) == 0 &&
          posix_spawnattr_setsigdefault(&attr_, &defaults) == 0 &&
          posix_spawnattr_setflags(&attr_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
  }
  ~SpawnAttributes() {
    if (initialised_) posix_spawnattr_destroy(&attr_);
  }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  bool Ok() const { return ok_; }
  const posix_spawnattr_t* Get() const { return &attr_; }

 private:
  posix_spawnattr_t attr_{};
  bool initialised_ = false;
  bool ok_ = false;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Reads both pipes until both are closed by the child.
void Drain(int outFd, int errFd, ChildResult& result, std::size_t outLimit, std::size_t errLimit) {
  pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  const std::size_t limits[2] = {outLimit, errLimit};
  char buffer[16384];
  int open = 2;
  while (open > 0) {
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        fds[i].fd = -1;
        --open;
        continue;
      }
      std::string& sink = *sinks[i];
      const std::size_t room = limits[i] > sink.size() ? limits[i] - sink.size() : 0;
      sink.append(buffer, std::min(room, static_cast<std::size_t>(n)));
    }
  }
}

int WaitExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv, std::string_view input,
                     std::size_t outLimit, std::size_t errLimit) {
  ChildResult result;
  if (argv.empty() || input.size() > kChildInputLimit) {
    result.Error = "bad arguments";
    return result;
  }
  Pipe in, out, err;
  if (!in.Open() || !out.Open() || !err.Open()) {
    result.Error = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  // The input goes into the pipe while this process still holds its read end, so the write
  // can neither block (it fits the buffer) nor raise SIGPIPE; the child reads it at leisure.
  if (!WriteAll(in.Write.Get(), input)) {
    result.Error = "cannot fill the input pipe";
    return result;
  }
  in.Write.Close();

  SpawnActions actions;
  if (!actions.Dup(in.Read.Get(), 0) || !actions.Dup(out.Write.Get(), 1) ||
      !actions.Dup(err.Write.Get(), 2) || !actions.CloseOthers()) {
    result.Error = "cannot prepare the child's descriptors";
    return result;
  }
  SpawnAttributes attributes;
  if (!attributes.Ok()) {
    result.Error = "cannot prepare the child's signals";
    return result;
  }
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  pid_t pid = -1;
  const int rc =
      ::posix_spawnp(&pid, args[0], actions.Get(), attributes.Get(), args.data(), environ);
  in.Read.Close();
  out.Write.Close();
  err.Write.Close();
  if (rc != 0) {
    result.Error = argv[0] + ": " + std::strerror(rc);
    return result;
  }
  result.Started = true;
  Drain(out.Read.Get(), err.Read.Get(), result, outLimit, errLimit);
  result.ExitCode = WaitExit(pid);
  if (result.ExitCode < 0) result.Error = "cannot wait for " + argv[0];
  return result;
}
