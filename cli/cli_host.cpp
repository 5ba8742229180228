#include "cli/cli_host.h"

#include <utility>

void CliSiteHost::SetEventHook(EventHook hook) {
  std::lock_guard<std::mutex> lock(hookMutex_);
  eventHook_ = std::move(hook);
}

void CliSiteHost::SetBoxHook(BoxHook hook) {
  std::lock_guard<std::mutex> lock(hookMutex_);
  boxHook_ = std::move(hook);
}

void CliSiteHost::Show(const PanelEvent& event) {
  HeadlessSiteHost::Show(event);
  // Under the lock: the events of one site reach the hook in the order they were shown.
  std::lock_guard<std::mutex> lock(hookMutex_);
  if (eventHook_) eventHook_(event);
}

int CliSiteHost::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  {
    std::lock_guard<std::mutex> lock(hookMutex_);
    if (boxHook_) boxHook_(text, caption);
  }
  return HeadlessSiteHost::MessageBox(text, caption, flags);
}
