#include "site/ops/unit_message.h"

#include <string>

#include "link/standard_exchange.h"
#include "site/ops/step_reply.h"

namespace {

constexpr char kDelete = 0x7F;

std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if ((c >= 0 && c < ' ') || c == kDelete) c = ' ';
  }
  return shown;
}

}  // namespace

std::uint32_t UnitMessageColour(std::uint8_t selector) {
  switch (selector) {
    case UnitMessageSelector::Green:
      return LogColour::Green;
    case UnitMessageSelector::Red:
      return LogColour::Red;
    case UnitMessageSelector::Orange:
      return LogColour::Orange;
    case UnitMessageSelector::Start:
      return LogColour::Start;
    default:
      return LogColour::Black;
  }
}

void ReportUnitMessage(LogSink& log, int site, std::span<const std::uint8_t> bytes) {
  const StepReply reply(bytes);
  if (!reply.HasMessage()) return;
  LogSite(log, site, " - " + Printable(reply.MessageText()),
          UnitMessageColour(reply.MessageColour()));
}
