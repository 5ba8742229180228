#include "site/ops/report_site.h"

#include "link/standard_exchange.h"

void LogReport(const SiteContext& at, std::string_view tail, std::uint32_t colour) {
  LogSite(at.Log(), at.Site(), tail, colour);
}

bool SocketOneChosen(const SiteContext& at) {
  if (at.Plan().SocketCode[0] == kPlanEnabled) return true;
  LogReport(at, " - No Choose Textool!", LogColour::Red);
  return false;
}
