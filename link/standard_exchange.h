#pragma once
// The standard exchange: the one frame of every site operation that sends one command and
// awaits its completion reply. Operations name their stem and packets; the options cover the
// variations (their own texts, results returned as received, no start line, no presence
// check, no pause between the reply polls).
//
// Steps: busy refusal (" - USB Busy!", 0xA1, Busy stays set); start line " - <stem>" in the
// start colour; SendCommand (failure: " - <stem> Command Error!", 0xA1); reply byte 0 set to
// 0xA1 and an asynchronous 512-byte read awaited (0xFF when the link closes meanwhile); the
// pass / fail / ack-error lines; the presence check (unit gone: CloseDevice, 0xA1); ClearBusy.
// Every line carries the ignored flag 1 and the essential flag 0.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/command_block.h"
#include "log/core/log_sink.h"

class ZvUsb;

// "Site #" + (site index + 1) + tail.
std::string SiteMessage(int site, std::string_view tail);
// Logs SiteMessage(site, tail) with the ignored flag 1 and the essential flag 0.
void LogSite(LogSink& log, int site, std::string_view tail, std::uint32_t colour);

// The tails of one stem, each with its leading " - ".
struct ExchangeTexts {
  std::string Start;         // " - <stem>"
  std::string Pass;          // " - <stem> Pass"
  std::string Fail;          // " - <stem> Fail!"
  std::string AckError;      // " - <stem> Ack Error!"
  std::string CommandError;  // " - <stem> Command Error!"
  static ExchangeTexts FromStem(std::string_view stem);
};

// How the reply after a successful SendCommand ends the exchange.
enum class PresenceCheck {
  Ask,         // IsUnitPresent; gone: CloseDevice, 0xA1
  HandleOnly,  // CloseDevice only when the link holds no handle any more
  None,
};

struct ExchangeOptions {
  bool LogStart = true;
  bool PausePolls = true;  // 10 ms between IsReadDone polls
  PresenceCheck Presence = PresenceCheck::Ask;
  // Replies, other than 0xA0 and 0xA1, that are results of their own rather than ack errors
  // (e.g. 0xA2 of the self test).
  std::vector<std::uint8_t> OwnAnswers;
  // A line per reply byte instead of the standard pass/fail lines (empty text: no line).
  // Called for 0xA0, 0xA1 and every OwnAnswer; return the line to log, or none for the
  // standard one.
  struct Line {
    std::string Tail;
    std::uint32_t Colour;
  };
  std::function<std::optional<Line>(std::uint8_t reply)> AnswerLine;
  // Looks at the whole reply after a 0xA0 before the pass line; returns the result (0xA0 lets
  // the pass line follow, anything else stops with that result and no pass line). The
  // operation logs its own lines there (e.g. "BIOS Number = ").
  std::function<SiteResult(const Reply& reply)> OnPass;
};

struct ExchangeOutcome {
  SiteResult Result = SiteResultCode::Fail;
  std::uint8_t Answer = SiteResultCode::Fail;  // the reply byte as received (0xFF: link closed)
  bool Sent = false;                           // SendCommand passed
  Reply ReplyBytes{};                          // the completion reply (512 bytes)
};

// The standard exchange on a site's link (its lines name the link's site). `texts` are the tails of
// the stem; `parts` are the command's packets, taken over by the send.
ExchangeOutcome StandardExchange(ZvUsb& link, LogSink& log, const ExchangeTexts& texts,
                                 CommandParts parts, const ExchangeOptions& options = {});

// The usual form: the stem's texts, an ordinary command (frame 0xA0, one code, the command
// byte) and any further packets in `extra` (its Command and Code are filled here).
ExchangeOutcome StandardCommand(ZvUsb& link, LogSink& log, std::string_view stem,
                                std::uint16_t code, std::uint8_t commandByte,
                                CommandParts extra = {}, const ExchangeOptions& options = {});

// The end of every operation on a link: unit gone -> CloseDevice and 0xA1; then ClearBusy.
SiteResult FinishOnLink(ZvUsb& link, SiteResult result,
                        PresenceCheck presence = PresenceCheck::Ask);
