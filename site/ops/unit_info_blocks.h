#pragma once
// Decoding of what a unit reports about itself: the firmware number of its reply, the serial
// block it copies from its EEPROM and the message block its self test leaves. Pure: the
// operations and the fuzz target share them.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Where the firmware number sits in the reply of "BIOS Number Get".
inline constexpr std::size_t kBiosNumberOffset = 20;
// The longest serial text a unit holds.
inline constexpr std::size_t kSerialTextMax = 256;
// The self-test message: its verdict byte, then the text from this offset on.
inline constexpr std::size_t kSelfTestTextOffset = 2;

struct BiosNumberReply {
  std::uint8_t Number = 0;  // stored whatever its value
  bool Valid = false;       // the firmware numbers units carry: 1 and 2
};
// The number of a reply of any length (a reply too short to hold it gives 0, not valid).
BiosNumberReply DecodeBiosNumber(std::span<const std::uint8_t> reply);

// The serial text: the bytes up to the first zero, at most kSerialTextMax, each one character.
// None when the area is erased (first byte 0xFF; an empty block counts as erased).
std::optional<std::string> DecodeSerialText(std::span<const std::uint8_t> block);

struct SelfTestMessage {
  bool Passed = false;  // byte 0 is 0xA0
  std::string Text;  // every non-zero byte from kSelfTestTextOffset on, the last excluded, as text
};
// The block as read back; its last byte counts as the terminating zero.
SelfTestMessage DecodeSelfTestMessage(std::span<const std::uint8_t> block);
