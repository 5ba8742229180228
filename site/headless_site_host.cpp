#include "site/headless_site_host.h"

#include <utility>

void HeadlessSiteHost::Show(const PanelEvent& event) {
  if (event.kind == PanelEvent::Kind::Statistics) ++statisticsUpdates_;
  if (!record_) return;
  std::lock_guard<std::mutex> lock(mutex_);
  events_.push_back(event);
}

void HeadlessSiteHost::ProcessMessages() {
  ++processMessagesCalls_;
  std::function<void()> hook;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    hook = hook_;
  }
  if (hook) hook();
}

void HeadlessSiteHost::SetProcessMessagesHook(std::function<void()> hook) {
  std::lock_guard<std::mutex> lock(mutex_);
  hook_ = std::move(hook);
}

std::vector<PanelEvent> HeadlessSiteHost::Events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return events_;
}

std::vector<PanelEvent> HeadlessSiteHost::EventsFor(int site) const {
  std::vector<PanelEvent> result;
  std::lock_guard<std::mutex> lock(mutex_);
  for (const PanelEvent& event : events_) {
    if (event.site == site) result.push_back(event);
  }
  return result;
}

void HeadlessSiteHost::ClearEvents() {
  std::lock_guard<std::mutex> lock(mutex_);
  events_.clear();
}

int HeadlessSiteHost::MessageBox(const std::string& text, const std::string& caption,
                                 unsigned /*flags*/) {
  std::lock_guard<std::mutex> lock(mutex_);
  messageTexts_.push_back(caption + ": " + text);
  return messageAnswer_.load();
}

std::vector<std::string> HeadlessSiteHost::MessageTexts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return messageTexts_;
}
