#include "site/ops/eeprom_ops.h"

#include <utility>

#include "link/standard_exchange.h"
#include "site/site_system.h"

namespace {

constexpr std::uint8_t kEepromCommandByte = 1;

// The ack error of this command has its own wording ("Get Ack Error!").
ExchangeTexts EepromReadTexts() {
  ExchangeTexts texts = ExchangeTexts::FromStem("EEPROM Read");
  texts.AckError = " - EEPROM Read Get Ack Error!";
  return texts;
}

}  // namespace

bool EepromRead(SiteSystem& system, int site, std::uint32_t unitAddress, std::uint32_t offset,
                std::uint32_t length) {
  if (!IsSiteIndex(site)) return false;
  ZvUsb& link = system.Link(site);
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kEepromCommandByte);
  parts.Parameter = link.MakeParameterPacket(0, 0, unitAddress, 0, 0, offset, length);
  parts.Code = link.MakeCodeWord(CommandCode::EepromRead);
  ExchangeOptions options;
  options.Presence = PresenceCheck::HandleOnly;
  const ExchangeOutcome outcome = StandardExchange(system.Links(), system.Log(), site,
                                                   EepromReadTexts(), std::move(parts), options);
  return outcome.Result == SiteResultCode::Pass;
}
