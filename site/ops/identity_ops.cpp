#include "site/ops/identity_ops.h"

#include <vector>

#include "link/bulk_exchange.h"
#include "link/standard_exchange.h"
#include "site/opcode_table.h"
#include "site/ops/eeprom_ops.h"
#include "site/site_system.h"

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

SiteResult GetDateTimeId(SiteSystem& system, int site) {
  if (!EepromRead(system, site, UnitAddress::Settings, kDateTimeIdOffset, kDateTimeIdLength)) {
    return SiteResultCode::Fail;
  }
  std::vector<std::uint8_t> buffer(kReadBackLength, 0);
  const SiteResult read = ReceiveBuffer(system.Links(), system.Log(), site, buffer, kReadBackLength,
                                        UnitAddress::Settings);
  if (read != SiteResultCode::Pass) {
    LogSite(system.Log(), site, " - Get DateTime ID Fail!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  system.Link(site).SetOrderKey(OrderKeyOf(buffer.data()));
  LogSite(system.Log(), site, " - Get DateTime ID Pass", LogColour::Green);
  return SiteResultCode::Pass;
}

void RegisterIdentityOperations(OpcodeTable& table) {
  table.Register(Opcodes::GetDateTimeId, [](SiteSystem& system, int site, const OperationTexts&) {
    return GetDateTimeId(system, site);
  });
}
