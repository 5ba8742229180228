#pragma once
// The one narrow interface through which the site operations reach the windows.
// app/ implements it with widgets; tests and headless front ends implement it without.
//
// Threading contract: every setter may be called from any thread (workers included); an
// implementation applies the calls made for one site to its controls in call order on its UI
// thread. Status() and Checked() may be read from any thread and must reflect every setter
// call that returned before the read (keep them in atomics updated at call time, not when the
// UI thread gets round to the widget), so that WaitForSites sees siWorking as soon as a
// Command has set it.
#include <cstdint>
#include <string>

#include "site/site_status.h"

class SiteHost {
 public:
  virtual ~SiteHost() = default;

  // Site panel (site index 0..7).
  virtual void SetStatus(int site, std::uint8_t status) = 0;  // values above 7 only repaint
  virtual TSiteStatus Status(int site) const = 0;
  virtual void SetChecked(int site, bool checked) = 0;
  virtual bool Checked(int site) const = 0;
  virtual void SetBigStatus(int site, std::uint8_t status) = 0;
  virtual void SetPassCount(int site, std::uint32_t count) = 0;
  virtual std::uint32_t PassCount(int site) const = 0;
  virtual void SetFailCount(int site, std::uint32_t count) = 0;
  virtual std::uint32_t FailCount(int site) const = 0;
  virtual void SetHintText(int site, const std::string& text) = 0;

  // Main window.
  virtual void SetSiteGroupEnabled(bool enabled) = 0;  // the rescan greys the group meanwhile
  virtual void UpdateStatistics() = 0;
  virtual bool StopAllEnabled() const = 0;  // "Stop All" of the automatic run
  // Lets the UI thread handle its pending events; a headless host just returns.
  virtual void ProcessMessages() = 0;

  // Options window.
  virtual bool KeyRunStopEnabled() const = 0;  // key-run "Stop"
  virtual std::int32_t AutoRunInterval() const = 0;
  virtual bool IgnoreInsertionDetection() const = 0;
};
