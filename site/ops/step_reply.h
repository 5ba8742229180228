#pragma once
// The 512-byte reply a unit gives for every procedure step, read field by field. The unit
// reports for the whole site in the fields of the first socket record; only the insert flags
// are per socket. Multi-byte fields are little-endian.
//
// A StepReply holds its own copy of the bytes: a reply shorter than 512 bytes reads as if the
// rest were the 0xFF preset of the reply buffer, a longer one is cut at 512, so no field read
// can leave the buffer whatever the unit sent.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/command_block.h"
#include "link/frame_codes.h"

namespace StepReplyField {
inline constexpr std::size_t Result = 0;             // the step's SiteResult
inline constexpr std::size_t SocketInsert = 32;      // + 64 * socket: 0xA0 a part sits there
inline constexpr std::size_t SocketStride = 64;      // one socket record
inline constexpr std::size_t ErrorAddress = 37;      // 32 bits
inline constexpr std::size_t PinScan = 45;           // 64 bits, bit j for pin name j
inline constexpr std::size_t Verdict = 55;           // see ReplyVerdict
inline constexpr std::size_t ExpectedData = 56;      // 32 bits (verify)
inline constexpr std::size_t IcData = 60;            // 32 bits read from the part
inline constexpr std::size_t ManufacturerCode = 64;  // 16 bits (ID check)
inline constexpr std::size_t DeviceCode = 66;        // 16 bits (ID check)
inline constexpr std::size_t NoErrorData = 68;       // 0xA3: no error address and data
inline constexpr std::size_t MessageFlag = 288;      // 0xA0: a unit message follows
inline constexpr std::size_t MessageColour = 289;    // UnitMessageColour selector
inline constexpr std::size_t MessageText = 290;      // zero-terminated within its length
inline constexpr std::size_t MessageLength = 100;
}  // namespace StepReplyField

// Values of the site verdict byte.
namespace ReplyVerdict {
inline constexpr std::uint8_t Pass = 0xA0;
inline constexpr std::uint8_t Fail = 0xA1;   // the insert detection's "a pin is wrong"
inline constexpr std::uint8_t Empty = 0xA5;  // no part in the socket
}  // namespace ReplyVerdict

inline constexpr std::uint8_t kReplyNoErrorData = 0xA3;
inline constexpr std::uint8_t kReplyMessagePresent = 0xA0;
inline constexpr std::uint8_t kSocketHoldsPart = 0xA0;

class StepReply {
 public:
  explicit StepReply(std::span<const std::uint8_t> bytes);

  std::uint8_t Byte(std::size_t offset) const { return bytes_[offset]; }
  SiteResult Result() const { return bytes_[StepReplyField::Result]; }
  std::uint8_t Verdict() const { return bytes_[StepReplyField::Verdict]; }
  // Socket 0..3.
  bool SocketHoldsPart(std::size_t socket) const;
  std::uint32_t ErrorAddress() const { return Le32(StepReplyField::ErrorAddress); }
  std::uint32_t ExpectedData() const { return Le32(StepReplyField::ExpectedData); }
  std::uint32_t IcData() const { return Le32(StepReplyField::IcData); }
  std::uint64_t PinScan() const;
  std::uint16_t ManufacturerCode() const {
    return GetLe16(&bytes_[StepReplyField::ManufacturerCode]);
  }
  std::uint16_t DeviceCode() const { return GetLe16(&bytes_[StepReplyField::DeviceCode]); }
  bool HasErrorData() const { return bytes_[StepReplyField::NoErrorData] != kReplyNoErrorData; }
  bool HasMessage() const { return bytes_[StepReplyField::MessageFlag] == kReplyMessagePresent; }
  std::uint8_t MessageColour() const { return bytes_[StepReplyField::MessageColour]; }
  // Up to the zero byte, at most MessageLength characters.
  std::string_view MessageText() const;

 private:
  std::uint32_t Le32(std::size_t offset) const { return GetLe32(&bytes_[offset]); }

  Reply bytes_;
};

// "0x" left out: upper-case hex digits, at least `minDigits` of them.
std::string HexDigits(std::uint64_t value, int minDigits);
