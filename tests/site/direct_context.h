#pragma once
// The context a site's worker would have, for the tests that call an operation directly. Made
// anew at every call, so a project loaded in between is the one the operation sees.
#include <array>
#include <optional>

#include "site/site_context.h"
#include "site/site_system.h"

class DirectContexts {
 public:
  explicit DirectContexts(SiteSystem& system) : system_(system) {}
  SiteContext& operator()(int site) { return contexts_[SiteSlot(site)].emplace(system_, site); }

 private:
  SiteSystem& system_;
  std::array<std::optional<SiteContext>, kSiteCount> contexts_;
};
