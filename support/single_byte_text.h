#pragma once
// The units speak single-byte text: each byte is one character (Latin-1). The program keeps
// text as UTF-8, so every text a unit sends passes through here once, where it arrives.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The UTF-8 text of `bytes`, each byte read as the Latin-1 character of that code.
std::string SingleByteText(std::span<const std::uint8_t> bytes);
std::string SingleByteText(std::string_view bytes);
// The same with every control code (0x00..0x1F, 0x7F..0x9F) a blank: what a unit reports for
// the log or a terminal can neither break a log line nor steer the terminal.
std::string PrintableSingleByteText(std::string_view bytes);
