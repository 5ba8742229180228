#include "site/ops/card_commands.h"

#include <algorithm>
#include <mutex>

#include "link/standard_exchange.h"
#include "site/ops/card_result.h"
#include "site/site_system.h"
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
std::uint8_t CardCommandByte(SiteSystem& system) {
  std::lock_guard<std::mutex> lock(system.PlanLock());  // site 0's worker may rebuild it
  return system.Project().Records().ProcessPlan[0].SocketCount;
}

CommandParts CardParts(SiteSystem& system, ZvUsb& link, const CardRequest& request) {
  CommandParts parts;
  parts.Command = link.MakeOrdinaryCommandPacket(CardCommandByte(system), request.Argument1);
  parts.Code = link.MakeCodeWord(request.Code);
  if (request.Named) {
    parts.Name = MakeNamePacket(request.Directory, request.File, request.OpenMode, kNoText);
  }
  if (request.Piece) {
    parts.Parameter =
        link.MakeParameterPacket(0, 0, request.Address, 0, 0, request.Offset, request.Length);
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

CardAnswer CardExchange(SiteSystem& system, int site, const CardRequest& request) {
  CardAnswer answer;
  LogSink& log = system.Log();
  ExchangeTexts texts = ExchangeTexts::FromStem(request.Operation);
  if (!NamesFit(request)) {
    if (system.Link(site).IsBusy()) {
      LogSite(log, site, " - USB Busy!", LogColour::Red);
      return answer;
    }
    answer.Result = CardCode::InvalidName;
    if (request.Report) LogSite(log, site, texts.Start, LogColour::Start);
    if (request.Report) ReportCardResult(log, site, answer.Result, request.Operation);
    return answer;
  }
  ExchangeOptions options = CardExchangeOptions();
  options.LogStart = request.Report;
  ExchangeOutcome outcome = StandardExchange(
      system.Links(), log, site, texts, CardParts(system, system.Link(site), request), options);
  answer.Bytes = outcome.ReplyBytes;
  answer.Result = outcome.Result;
  if (!outcome.Sent) return answer;
  answer.Result = outcome.Answer;
  if (request.Report) ReportCardResult(log, site, answer.Result, request.Operation);
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

SiteResult SdCardDetect(SiteSystem& system, int site) {
  return CardExchange(system, site, Plain(CommandCode::SdCardDetect, "SDCard Detect")).Result;
}

SiteResult SdCardTest(SiteSystem& system, int site) {
  return CardExchange(system, site, Plain(CommandCode::SdCardTest, "SDCard Test")).Result;
}

SiteResult SdCardGetFreeSpace(SiteSystem& system, int site) {
  const CardAnswer answer =
      CardExchange(system, site, Plain(CommandCode::SdCardGetFreeSpace, "SDCard Get Free Space"));
  if (answer.Result != SiteResultCode::Pass) return answer.Result;
  const std::uint32_t kbytes = GetLe32(answer.Bytes.data() + kFreeKBytesAt);
  system.CmdData(site).SdFreeKBytes = kbytes;
  LogSite(system.Log(), site, " - SDCard Free Space Size = " + std::to_string(kbytes) + " KBytes",
          LogColour::Black);
  return answer.Result;
}

SiteResult SdCreateDirectory(SiteSystem& system, int site, std::string_view directory) {
  return CardExchange(
             system, site,
             Named(CommandCode::SdCardCreateDirectory, "SDCard Create Directory", directory))
      .Result;
}

SiteResult SdDeleteDirectory(SiteSystem& system, int site, std::string_view directory,
                             bool report) {
  CardRequest request =
      Named(CommandCode::SdCardDeleteDirectory, "SDCard Delete Directory", directory);
  request.Report = report;
  return CardExchange(system, site, request).Result;
}

SiteResult SdGetFileSize(SiteSystem& system, int site, std::string_view directory,
                         std::string_view file, std::uint32_t& size) {
  const CardAnswer answer = CardExchange(
      system, site, Named(CommandCode::SdCardGetFileSize, "SDCard Get File Size", directory, file));
  size = GetLe32(answer.Bytes.data() + kFileSizeAt);
  return answer.Result;
}

SiteResult SdReadData(SiteSystem& system, int site, std::string_view directory,
                      std::string_view file, std::uint32_t address, std::uint32_t offset,
                      std::uint32_t length) {
  CardRequest request = Named(CommandCode::SdCardReadData, "SDCard Read Data", directory, file);
  request.Piece = true;
  request.Address = address;
  request.Offset = offset;
  request.Length = length;
  return CardExchange(system, site, request).Result;
}

SiteResult SdWriteData(SiteSystem& system, int site, std::string_view directory,
                       std::string_view file, std::uint32_t address, std::uint32_t offset,
                       std::uint32_t length, std::uint8_t openMode, std::uint32_t byteSum) {
  CardRequest request = Named(CommandCode::SdCardWriteData, "SDCard Write Data", directory, file);
  request.OpenMode = openMode;
  request.Piece = true;
  request.Address = address;
  request.Offset = offset;
  request.Length = length;
  request.Argument1 = byteSum;
  return CardExchange(system, site, request).Result;
}
