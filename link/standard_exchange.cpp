#include "link/standard_exchange.h"

#include <algorithm>

#include "link/zv_usb.h"

namespace {

constexpr const char* kBusyTail = " - USB Busy!";

// The reply byte decides the lines and the result (the step after a successful send).
SiteResult JudgeAnswer(LogSink& log, int site, const ExchangeTexts& texts,
                       const ExchangeOptions& options, const ExchangeOutcome& outcome) {
  const std::uint8_t answer = outcome.Answer;
  const bool known = answer == SiteResultCode::Pass || answer == SiteResultCode::Fail ||
                     std::find(options.OwnAnswers.begin(), options.OwnAnswers.end(), answer) !=
                         options.OwnAnswers.end();
  if (!known) {
    LogSite(log, site, texts.AckError, LogColour::Red);
    return SiteResultCode::Fail;
  }
  if (answer == SiteResultCode::Pass && options.OnPass) {
    const SiteResult checked = options.OnPass(outcome.ReplyBytes);
    if (checked != SiteResultCode::Pass) return checked;
  }
  if (options.AnswerLine) {
    if (const auto line = options.AnswerLine(answer)) {
      if (!line->Tail.empty()) LogSite(log, site, line->Tail, line->Colour);
      return answer;
    }
  }
  if (answer == SiteResultCode::Pass) {
    LogSite(log, site, texts.Pass, LogColour::Green);
  } else if (answer == SiteResultCode::Fail) {
    LogSite(log, site, texts.Fail, LogColour::Red);
  }
  return answer;
}

}  // namespace

std::string SiteMessage(int site, std::string_view tail) {
  std::string text = "Site #" + std::to_string(site + 1);
  text += tail;
  return text;
}

void LogSite(LogSink& log, int site, std::string_view tail, std::uint32_t colour) {
  log.Write(SiteMessage(site, tail), colour);  // a detail: red lines show in every mode
}

ExchangeTexts ExchangeTexts::FromStem(std::string_view stem) {
  const std::string head = " - " + std::string(stem);
  return ExchangeTexts{head, head + " Pass", head + " Fail!", head + " Ack Error!",
                       head + " Command Error!"};
}

SiteResult FinishOnLink(ZvUsb& link, SiteResult result, PresenceCheck presence) {
  if (presence == PresenceCheck::Ask && !link.IsUnitPresent()) {
    link.CloseDevice();
    result = SiteResultCode::Fail;
  } else if (presence == PresenceCheck::HandleOnly && !link.HasHandle()) {
    link.CloseDevice();
  }
  link.ClearBusy();
  return result;
}

ExchangeOutcome StandardExchange(ZvUsb& link, LogSink& log, const ExchangeTexts& texts,
                                 CommandParts parts, const ExchangeOptions& options) {
  ExchangeOutcome outcome;
  const int site = link.SiteIndex();
  if (link.IsBusy()) {
    LogSite(log, site, kBusyTail, LogColour::Red);
    return outcome;  // 0xA1; the flag stays set
  }
  if (options.LogStart) LogSite(log, site, texts.Start, LogColour::Start);
  if (!link.SendCommand(std::move(parts))) {
    LogSite(log, site, texts.CommandError, LogColour::Red);
    outcome.Result = SiteResultCode::Fail;
  } else {
    outcome.Sent = true;
    outcome.ReplyBytes.fill(kFill);
    outcome.ReplyBytes[0] = SiteResultCode::Fail;
    link.BulkRead(outcome.ReplyBytes.data(), static_cast<int>(kReplySize), true);
    outcome.Answer = link.AwaitReply(outcome.ReplyBytes.data(), options.PausePolls);
    outcome.Result = JudgeAnswer(log, site, texts, options, outcome);
  }
  outcome.Result = FinishOnLink(link, outcome.Result, options.Presence);
  return outcome;
}

ExchangeOutcome StandardCommand(ZvUsb& link, LogSink& log, std::string_view stem,
                                std::uint16_t code, std::uint8_t commandByte, CommandParts extra,
                                const ExchangeOptions& options) {
  extra.Command = link.MakeOrdinaryCommandPacket(commandByte);
  extra.Code = link.MakeCodeWord(code);
  return StandardExchange(link, log, ExchangeTexts::FromStem(stem), std::move(extra), options);
}
