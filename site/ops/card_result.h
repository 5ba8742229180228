#pragma once
// The one decoder of the SD card's result codes: every card command's reply byte 0 becomes
// one line, "Site #n - <operation><text>", and the result the operation returns.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/frame_codes.h"
#include "log/core/log_sink.h"

// Codes of the unit's card file system (byte 0 of a card command's reply).
namespace CardCode {
inline constexpr std::uint8_t Pass = 0xA0;
inline constexpr std::uint8_t NotReady = 0xA1;
inline constexpr std::uint8_t DiskNotWorking = 0xA2;
inline constexpr std::uint8_t NoFile = 0xA3;
inline constexpr std::uint8_t NoPath = 0xA4;
inline constexpr std::uint8_t InvalidName = 0xA5;
inline constexpr std::uint8_t InvalidDrive = 0xA6;
inline constexpr std::uint8_t Denied = 0xA7;
inline constexpr std::uint8_t Exists = 0xA8;
inline constexpr std::uint8_t DiskError = 0xA9;
inline constexpr std::uint8_t WriteProtected = 0xAA;
inline constexpr std::uint8_t NotMounted = 0xAB;
inline constexpr std::uint8_t NoVolume = 0xAC;
inline constexpr std::uint8_t InvalidObject = 0xAD;
inline constexpr std::uint8_t FormatAborted = 0xAE;
}  // namespace CardCode

struct CardResultText {
  std::uint8_t Code;
  const char* Text;  // appended after the operation name
};
// Every code the card knows, 0xA0 to 0xAE, with its text.
std::span<const CardResultText> CardResultTexts();
inline constexpr const char* kCardAckErrorText = " Ack Error!,";

// What the decoder makes of a code: the line's tail (" - " + operation + text), its colour,
// and the result (the code itself for a known code, 0xA1 for any other).
struct CardResultLine {
  std::string Tail;
  std::uint32_t Colour = LogColour::Red;
  SiteResult Result = SiteResultCode::Fail;
};
CardResultLine DecodeCardResult(std::uint8_t code, std::string_view operation);

// Logs the decoded line for `site`; `code` becomes the result (0xA1 for an unknown code).
void ReportCardResult(LogSink& log, int site, std::uint8_t& code, std::string_view operation);
