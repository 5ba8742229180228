#pragma once
// The number of sites and the one check of a site index, shared by every layer: links, project
// records, panels and workers are all indexed 0..7.
#include <cstddef>

inline constexpr int kSiteCount = 8;

constexpr bool IsSiteIndex(int site) {
  return site >= 0 && site < kSiteCount;
}

// The array slot of a site index the caller has checked.
constexpr std::size_t SiteSlot(int site) {
  return static_cast<std::size_t>(site);
}
