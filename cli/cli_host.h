#pragma once
// The command-line program's site host: the headless host, which answers every message box
// with OK, plus two hooks, one for the panel events (the run's event stream) and one for the
// message boxes (printed, since nobody can see a box).
#include <functional>
#include <mutex>
#include <string>

#include "site/headless_site_host.h"

class CliSiteHost final : public HeadlessSiteHost {
 public:
  using EventHook = std::function<void(const PanelEvent&)>;
  using BoxHook = std::function<void(const std::string& text, const std::string& caption)>;

  // Set before any worker runs; Show calls them from the workers.
  void SetEventHook(EventHook hook);
  void SetBoxHook(BoxHook hook);

  void Show(const PanelEvent& event) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;

 private:
  std::mutex hookMutex_;  // the hooks may be replaced while a worker shows an event
  EventHook eventHook_;
  BoxHook boxHook_;
};
