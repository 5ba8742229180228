#pragma once
// The part counts the main window shows, read from its widgets (what the operator sees): the
// statistics and each site panel's pass and fail counters. `--exit-after-parts` prints them on
// one line when the program ends, so that a script can hold them against the journal and the
// records database.
#include <array>
#include <cstdint>
#include <string>

#include "support/site_index.h"

class TMainForm;

struct PassFail {
  std::uint32_t Pass = 0;
  std::uint32_t Fail = 0;
  bool operator==(const PassFail&) const = default;
};

struct ShownPartCounts {
  PassFail Statistics;
  std::array<PassFail, kSiteCount> Sites{};
  PassFail SiteSum() const;
};

// UI thread, after the site host has drawn every queued change.
ShownPartCounts PartCountsShownIn(const TMainForm& window);

// "parts: statistics=P/F panels=P/F site1=P/F ... site8=P/F" (panels: the sum of the sites).
std::string PartCountLine(const ShownPartCounts& counts);
