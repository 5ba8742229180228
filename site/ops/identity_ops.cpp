#include "site/ops/identity_ops.h"

#include <vector>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/ops/eeprom_ops.h"
#include "site/site_context.h"

namespace {

constexpr std::uint32_t kDateTimeIdOffset = 320;  // EEPROM offset of the identifier block
constexpr std::uint32_t kDateTimeIdLength = 64;
// A wanted length under 1 KiB is read back as one whole 1 KiB chunk.
constexpr std::uint32_t kReadBackLength = kSmallChunk;

// Two little-endian 32-bit words, the low word first.
std::uint64_t OrderKeyOf(const std::uint8_t* bytes) {
  return std::uint64_t{GetLe32(bytes)} | (std::uint64_t{GetLe32(bytes + 4)} << 32);
}

}  // namespace

SiteResult GetDateTimeId(SiteContext& ctx, const OperationTexts&) {
  if (!EepromRead(ctx, UnitAddress::Settings, kDateTimeIdOffset, kDateTimeIdLength)) {
    return SiteResultCode::Fail;
  }
  std::vector<std::uint8_t> buffer(kReadBackLength, 0);
  const SiteResult read =
      ReceiveBuffer(ctx.Link(), ctx.Log(), buffer, kReadBackLength, UnitAddress::Settings);
  if (read != SiteResultCode::Pass) {
    LogSite(ctx.Log(), ctx.Site(), " - Get DateTime ID Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  ctx.Link().SetOrderKey(OrderKeyOf(buffer.data()));
  LogSite(ctx.Log(), ctx.Site(), " - Get DateTime ID Pass", LogColour::Green);
  return SiteResultCode::Pass;
}
