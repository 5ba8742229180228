// gangprog-cli: the command-line front end for production lines and scripts.
#include <pthread.h>

#include <csignal>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_main.h"
#include "cli/stop_request.h"

namespace {
// Ctrl-C and SIGTERM are taken by a thread of their own with sigwait, not by a handler, so the
// stop needs no global state and may lock a mutex. The signals are blocked before any other
// thread starts; every thread inherits the mask.
class SignalStopper {
 public:
  explicit SignalStopper(StopRequest& stop) : stop_(stop) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    thread_ = std::thread([this] { Watch(); });
  }
  ~SignalStopper() {
    ending_ = true;
    pthread_kill(thread_.native_handle(), SIGTERM);  // taken by the watcher's sigwait
    thread_.join();
  }
  SignalStopper(const SignalStopper&) = delete;
  SignalStopper& operator=(const SignalStopper&) = delete;

 private:
  void Watch() {
    for (;;) {
      int signal = 0;
      if (sigwait(&signals_, &signal) != 0 || ending_) return;
      stop_.Request();
      std::cerr << "gangprog-cli: stopping after the parts in hand\n";
    }
  }

  StopRequest& stop_;
  sigset_t signals_{};
  std::atomic<bool> ending_{false};
  std::thread thread_;
};
}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  StopRequest stop;
  SignalStopper stopper(stop);
  CliEnvironment env{std::cout, std::cerr};
  env.stop = &stop;
  return RunCli(args, env);
}
