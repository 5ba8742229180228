#pragma once
// One change of what the windows show for the sites: a panel's state, selection, large status,
// counters or hint, the site group's enabling, or new statistics totals.
#include <cstdint>
#include <string>

struct PanelEvent {
  enum class Kind {
    Status,            // value: the state set; values above siPushKey only repaint
    Checked,           // value: 1 selected, 0 not
    BigStatus,         // value: siPass, siFail, or 0 for the idle "----"
    PassCount,         // value: the site's pass counter
    FailCount,         // value: the site's fail counter
    HintText,          // text
    SiteGroupEnabled,  // site -1; value: 1 enabled
    Statistics,        // site -1; value: passes, value2: fails over all sites
  };
  Kind kind = Kind::Status;
  int site = -1;
  std::uint32_t value = 0;
  std::uint32_t value2 = 0;
  std::string text;
};
