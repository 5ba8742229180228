#include "site/ops/card_commands.h"

#include <algorithm>
#include <mutex>

#include "link/standard_exchange.h"
#include "link/zv_usb.h"
#include "site/loaded_project.h"
#include "site/ops/card_result.h"
#include "site/site_context.h"
#include "site/usb_cmd_data.h"
#include "support/byte_order.h"

namespace {

constexpr std::size_t kFreeKBytesAt = 390;
constexpr std::size_t kFileSizeAt = 394;
constexpr const char* kNoText = "0";  // an unused name field

// The names and parameters of one card command.
struct CardRequest {
  std::uint16_t Code = 0;
  const char* Operation = "";
  bool Named = false;
  std::string_view Directory;
  std::string_view File = kNoText;
  std::uint8_t OpenMode = 0;
  bool Piece = false;
  std::uint32_t Address = 0;
  std::uint32_t Offset = 0;
  std::uint32_t Length = 0;
  std::uint32_t Argument1 = 0;
  bool Report = true;  // start and result lines
};

struct CardAnswer {
  SiteResult Result = SiteResultCode::Fail;
  Reply Bytes{};
};

// Every card command carries site 0's socket count, whichever site it goes to.
std::uint8_t CardCommandByte(SiteContext& ctx) {
  std::lock_guard<std::mutex> lock(ctx.PlanLock());  // site 0's worker may rebuild it
  return ctx.Project().Records().ProcessPlan[0].SocketCount;
}

CommandParts CardParts(SiteContext& ctx, ZvUsb& link, const CardRequest& request) {
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(CardCommandByte(ctx), request.Argument1);
  parts.Code = link.MakeCodeWord(request.Code);
  if (request.Named) {
    parts.Name = MakeNamePacket(request.Directory, request.File, request.OpenMode, kNoText);
  }
  if (request.Piece) {
    parts.Parameter = link.MakeParameterPacket(
        {.Address = request.Address, .Offset = request.Offset, .Length = request.Length});
  }
  return parts;
}

// Every reply byte is the card's own code: the exchange logs nothing after its start line and
// the decoder below speaks for it.
ExchangeOptions CardExchangeOptions() {
  ExchangeOptions options;
  options.Presence = PresenceCheck::None;
  for (int code = 0; code <= 0xFF; ++code) {
    if (code != SiteResultCode::Pass && code != SiteResultCode::Fail) {
      options.OwnAnswers.push_back(static_cast<std::uint8_t>(code));
    }
  }
  options.AnswerLine = [](std::uint8_t) {
    return std::optional<ExchangeOptions::Line>(ExchangeOptions::Line{"", 0});
  };
  return options;
}

bool NamesFit(const CardRequest& request) {
  return !request.Named || (FitsCardName(request.Directory) && FitsCardName(request.File));
}

CardAnswer CardExchange(SiteContext& ctx, const CardRequest& request) {
  CardAnswer answer;
  LogSink& log = ctx.Log();
  ExchangeTexts texts = ExchangeTexts::FromStem(request.Operation);
  if (!NamesFit(request)) {
    if (ctx.Link().IsBusy()) {
      LogSite(log, ctx.Site(), " - USB Busy!", LogColour::Red);
      return answer;
    }
    answer.Result = CardCode::InvalidName;
    if (request.Report) LogSite(log, ctx.Site(), texts.Start, LogColour::Start);
    if (request.Report) ReportCardResult(log, ctx.Site(), answer.Result, request.Operation);
    return answer;
  }
  ExchangeOptions options = CardExchangeOptions();
  options.LogStart = request.Report;
  ExchangeOutcome outcome =
      StandardExchange(ctx.Link(), log, texts, CardParts(ctx, ctx.Link(), request), options);
  answer.Bytes = outcome.ReplyBytes;
  answer.Result = outcome.Result;
  if (!outcome.Sent) return answer;
  answer.Result = outcome.Answer;
  if (request.Report) ReportCardResult(log, ctx.Site(), answer.Result, request.Operation);
  return answer;
}

CardRequest Plain(std::uint16_t code, const char* operation) {
  CardRequest request;
  request.Code = code;
  request.Operation = operation;
  return request;
}

CardRequest Named(std::uint16_t code, const char* operation, std::string_view directory,
                  std::string_view file = kNoText) {
  CardRequest request = Plain(code, operation);
  request.Named = true;
  request.Directory = directory;
  request.File = file;
  return request;
}

}  // namespace

bool FitsCardName(std::string_view name) {
  return !name.empty() && name.size() <= kCardNameMax;
}

SiteResult SdCardDetect(SiteContext& ctx, const OperationTexts&) {
  return CardExchange(ctx, Plain(CommandCode::SdCardDetect, "SDCard Detect")).Result;
}

SiteResult SdCardTest(SiteContext& ctx, const OperationTexts&) {
  return CardExchange(ctx, Plain(CommandCode::SdCardTest, "SDCard Test")).Result;
}

SiteResult SdCardGetFreeSpace(SiteContext& ctx, const OperationTexts&) {
  const CardAnswer answer =
      CardExchange(ctx, Plain(CommandCode::SdCardGetFreeSpace, "SDCard Get Free Space"));
  if (answer.Result != SiteResultCode::Pass) return answer.Result;
  const std::uint32_t kbytes = GetLe32(answer.Bytes.data() + kFreeKBytesAt);
  ctx.UnitReport().SdFreeKBytes = kbytes;
  LogSite(ctx.Log(), ctx.Site(),
          " - SDCard Free Space Size = " + std::to_string(kbytes) + " KBytes", LogColour::Black);
  return answer.Result;
}

SiteResult SdCreateDirectory(SiteContext& ctx, std::string_view directory) {
  return CardExchange(
             ctx, Named(CommandCode::SdCardCreateDirectory, "SDCard Create Directory", directory))
      .Result;
}

SiteResult SdDeleteDirectory(SiteContext& ctx, std::string_view directory, bool report) {
  CardRequest request =
      Named(CommandCode::SdCardDeleteDirectory, "SDCard Delete Directory", directory);
  request.Report = report;
  return CardExchange(ctx, request).Result;
}

SiteResult SdGetFileSize(SiteContext& ctx, std::string_view directory, std::string_view file,
                         std::uint32_t& size) {
  const CardAnswer answer = CardExchange(
      ctx, Named(CommandCode::SdCardGetFileSize, "SDCard Get File Size", directory, file));
  size = GetLe32(answer.Bytes.data() + kFileSizeAt);
  return answer.Result;
}

SiteResult SdReadData(SiteContext& ctx, std::string_view directory, std::string_view file,
                      std::uint32_t address, std::uint32_t offset, std::uint32_t length) {
  CardRequest request = Named(CommandCode::SdCardReadData, "SDCard Read Data", directory, file);
  request.Piece = true;
  request.Address = address;
  request.Offset = offset;
  request.Length = length;
  return CardExchange(ctx, request).Result;
}

SiteResult SdWriteData(SiteContext& ctx, std::string_view directory, std::string_view file,
                       std::uint32_t address, std::uint32_t offset, std::uint32_t length,
                       std::uint8_t openMode, std::uint32_t byteSum) {
  CardRequest request = Named(CommandCode::SdCardWriteData, "SDCard Write Data", directory, file);
  request.OpenMode = openMode;
  request.Piece = true;
  request.Address = address;
  request.Offset = offset;
  request.Length = length;
  request.Argument1 = byteSum;
  return CardExchange(ctx, request).Result;
}
