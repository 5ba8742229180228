#include "site/ops/eeprom_ops.h"

#include <utility>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/site_context.h"

namespace {

constexpr std::uint8_t kEepromCommandByte = 1;

// The ack error of this command has its own wording ("Get Ack Error!").
ExchangeTexts EepromReadTexts() {
  ExchangeTexts texts = ExchangeTexts::FromStem("EEPROM Read");
  texts.AckError = " - EEPROM Read Get Ack Error!";
  return texts;
}

}  // namespace

bool EepromRead(SiteContext& ctx, std::uint32_t unitAddress, std::uint32_t offset,
                std::uint32_t length) {
  ZvUsb& link = ctx.Link();
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kEepromCommandByte);
  parts.Parameter =
      link.MakeParameterPacket({.Address = unitAddress, .Offset = offset, .Length = length});
  parts.Code = link.MakeCodeWord(CommandCode::EepromRead);
  ExchangeOptions options;
  options.Presence = PresenceCheck::HandleOnly;
  const ExchangeOutcome outcome =
      StandardExchange(ctx.Link(), ctx.Log(), EepromReadTexts(), std::move(parts), options);
  return outcome.Result == SiteResultCode::Pass;
}
