#include "cli/cli_host.h"

#include <utility>

void CliSiteHost::SetBoxHook(BoxHook hook) {
  std::lock_guard<std::mutex> lock(hookMutex_);
  boxHook_ = std::move(hook);
}

int CliSiteHost::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  {
    std::lock_guard<std::mutex> lock(hookMutex_);
    if (boxHook_) boxHook_(text, caption);
  }
  return HeadlessSiteHost::MessageBox(text, caption, flags);
}
