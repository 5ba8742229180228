#pragma once
// The free-text message a unit may attach to any reply: a flag, a colour selector and up to
// 100 characters.
#include <cstdint>
#include <span>

#include "log/core/log_sink.h"

// Selector values of the message colour.
namespace UnitMessageSelector {
inline constexpr std::uint8_t Green = 0xC0;
inline constexpr std::uint8_t Red = 0xC1;
inline constexpr std::uint8_t Black = 0xC2;
inline constexpr std::uint8_t Orange = 0xC3;
inline constexpr std::uint8_t Start = 0xC4;
}  // namespace UnitMessageSelector

// The log colour of a selector; a selector the units do not send shows black, as plain
// information.
std::uint32_t UnitMessageColour(std::uint8_t selector);

// When reply byte 288 is 0xA0: " - " + the text of bytes 290.. (up to its zero byte, at most
// 100 characters, each byte one Latin-1 character) in the colour of byte 289. Control
// characters (0x80..0x9F included) show as blanks, so a garbled text cannot start lines of its
// own in the log file. Otherwise nothing.
void ReportUnitMessage(LogSink& log, int site, std::span<const std::uint8_t> reply);
