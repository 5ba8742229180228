#include "site/ops/unit_message.h"

#include <string>

#include "link/standard_exchange.h"
#include "site/ops/step_reply.h"
#include "support/single_byte_text.h"

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
  LogSite(log, site, " - " + PrintableSingleByteText(reply.MessageText()),
          UnitMessageColour(reply.MessageColour()));
}
