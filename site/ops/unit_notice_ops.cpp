#include "site/ops/unit_notice_ops.h"

#include <utility>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/site_context.h"
#include "site/site_panels.h"

namespace {

constexpr std::uint8_t kNoticeCommandByte = 0;

// Reads the answer until a read passes. A read fails at once while the unit is gone, so
// besides the closed link (a rescan took it away) a unit that has left the bus also ends the
// wait: the close notice runs on the UI thread, where no rescan can come to close the link.
std::uint8_t ReadNoticeAnswer(SiteContext& ctx) {
  ZvUsb& link = ctx.Link();
  Reply reply{};
  for (;;) {
    reply.fill(kFill);
    if (link.BulkRead(reply.data(), static_cast<int>(reply.size()), false)) return reply[0];
    if (!link.IsOpened() || !ctx.UnitPresent()) return SiteResultCode::LinkClosed;
    link.Sleep(LinkTiming::ReplyPoll);
  }
}

SiteResult SendNotice(SiteContext& ctx, std::uint16_t code) {
  ZvUsb& link = ctx.Link();
  if (link.IsBusy()) {
    LogSite(ctx.Log(), ctx.Site(), " - USB Busy!", LogColour::Red);
    return SiteResultCode::Fail;
  }
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(kNoticeCommandByte);
  parts.Code = link.MakeCodeWord(code);
  SiteResult result = SiteResultCode::Fail;
  if (link.SendCommand(std::move(parts))) {
    const std::uint8_t answer = ReadNoticeAnswer(ctx);
    if (answer == SiteResultCode::Pass || answer == SiteResultCode::Fail) result = answer;
  }
  return FinishOnLink(ctx.Link(), result);
}

}  // namespace

SiteResult ConnectNotice(SiteContext& ctx, const OperationTexts&) {
  return SendNotice(ctx, CommandCode::ConnectNotice);
}

SiteResult CloseNotice(SiteContext& ctx, const OperationTexts&) {
  return SendNotice(ctx, CommandCode::CloseNotice);
}
