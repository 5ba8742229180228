#include "site/ops/unit_notice_ops.h"

#include <utility>

#include "link/standard_exchange.h"
#include "site/opcode_table.h"
#include "site/site_system.h"

namespace {

constexpr std::uint8_t kNoticeCommandByte = 0;

// Reads the answer until a read passes. A read fails at once while the unit is gone, so
// besides the closed link (a rescan took it away) a unit that has left the bus also ends the
// wait: the close notice runs on the UI thread, where no rescan can come to close the link.
std::uint8_t ReadNoticeAnswer(SiteSystem& system, int site) {
  ZvUsb& link = system.Link(site);
  Reply reply{};
  for (;;) {
    reply.fill(kFill);
    if (link.BulkRead(reply.data(), static_cast<int>(reply.size()), false)) return reply[0];
    if (!link.IsOpened() || !system.UnitPresent(site)) return SiteResultCode::LinkClosed;
    link.Sleep(LinkTiming::ReplyPoll);
  }
}

SiteResult SendNotice(SiteSystem& system, int site, std::uint16_t code) {
  if (!IsSiteIndex(site)) return SiteResultCode::Fail;
  ZvUsb& link = system.Link(site);
  if (link.IsBusy()) {
    LogSite(system.Log(), site, " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kNoticeCommandByte);
  parts.Code = link.MakeCodeWord(code);
  SiteResult result = SiteResultCode::Fail;
  if (link.SendCommand(std::move(parts))) {
    const std::uint8_t answer = ReadNoticeAnswer(system, site);
    if (answer == SiteResultCode::Pass || answer == SiteResultCode::Fail) result = answer;
  }
  return FinishOnLink(system.Links(), site, result);
}

}  // namespace

SiteResult ConnectNotice(SiteSystem& system, int site) {
  return SendNotice(system, site, CommandCode::ConnectNotice);
}

SiteResult CloseNotice(SiteSystem& system, int site) {
  return SendNotice(system, site, CommandCode::CloseNotice);
}

void SendCloseNotices(SiteSystem& system) {
  for (int site = 0; site < kSiteCount; ++site) {
    if (system.Panels().Status(site) != siNone) CloseNotice(system, site);
  }
}

void RegisterUnitNotices(OpcodeTable& table) {
  table.Register(Opcodes::ConnectNotice, [](SiteSystem& system, int site, const OperationTexts&) {
    return ConnectNotice(system, site);
  });
  table.Register(Opcodes::CloseNotice, [](SiteSystem& system, int site, const OperationTexts&) {
    return CloseNotice(system, site);
  });
}
