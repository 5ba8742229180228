#pragma once
// The command-line program's site host: the headless host, which answers every message box
// with OK, plus a hook for the message boxes (printed, since nobody can see a box). The run's
// events reach the program through the run session's observer, not through the host.
#include <functional>
#include <mutex>
#include <string>

#include "site/headless_site_host.h"

class CliSiteHost final : public HeadlessSiteHost {
 public:
  using BoxHook = std::function<void(const std::string& text, const std::string& caption)>;

  // Set before any worker runs.
  void SetBoxHook(BoxHook hook);

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;

 private:
  std::mutex hookMutex_;  // the hook may be replaced while a worker asks a box
  BoxHook boxHook_;
};
