#include "site/ops/unit_message.h"

#include <string>

#include "link/standard_exchange.h"
#include "site/ops/step_reply.h"
#include "support/single_byte_text.h"

namespace {

constexpr std::uint8_t kDelete = 0x7F;
constexpr std::uint8_t kLastControl = 0x9F;  // 0x80..0x9F are control codes in Latin-1 too

// Control codes become blanks: no line break reaches the log file.
std::string Printable(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    const auto byte = static_cast<std::uint8_t>(c);
    if (byte < ' ' || (byte >= kDelete && byte <= kLastControl)) c = ' ';
  }
  return SingleByteText(shown);
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
