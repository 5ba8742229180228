// What a unit reports about itself, of any content and length: the firmware number reply, the
// serial block and the self-test message block, through the decoders the operations use.
// Input: one selector byte (which decoder), then the block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "site/ops/unit_info_blocks.h"

namespace {

enum class Block : std::uint8_t { BiosNumber, Serial, SelfTest, Count };

void CheckBiosNumber(std::span<const std::uint8_t> reply) {
  const BiosNumberReply number = DecodeBiosNumber(reply);
  const std::uint8_t expected = reply.size() > kBiosNumberOffset ? reply[kBiosNumberOffset] : 0;
  if (number.Number != expected) __builtin_trap();
  if (number.Valid != (expected == 1 || expected == 2)) __builtin_trap();
}

// The unit's bytes back from the UTF-8 text: every character must be one of U+0001..U+00FF.
std::string SingleBytesOf(const std::string& text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    if (lead == 0) __builtin_trap();
    if (lead < 0x80) {
      bytes.push_back(static_cast<char>(lead));
      continue;
    }
    if ((lead != 0xC2 && lead != 0xC3) || i + 1 == text.size()) __builtin_trap();
    const auto follow = static_cast<std::uint8_t>(text[++i]);
    if ((follow & 0xC0) != 0x80) __builtin_trap();
    bytes.push_back(static_cast<char>(((lead & 0x1F) << 6) | (follow & 0x3F)));
  }
  return bytes;
}

void CheckSerial(std::span<const std::uint8_t> block) {
  const auto text = DecodeSerialText(block);
  if (!text) {
    if (!block.empty() && block[0] != 0xFF) __builtin_trap();
    return;
  }
  const std::string bytes = SingleBytesOf(*text);
  if (bytes.size() > kSerialTextMax || bytes.size() > block.size()) __builtin_trap();
  if (!std::equal(bytes.begin(), bytes.end(), block.begin(),
                  [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; })) {
    __builtin_trap();
  }
  // It stops only at a zero byte or at the limit.
  if (bytes.size() < std::min(block.size(), kSerialTextMax) && block[bytes.size()] != 0) {
    __builtin_trap();
  }
}

void CheckSelfTest(std::span<const std::uint8_t> block) {
  const SelfTestMessage message = DecodeSelfTestMessage(block);
  if (message.Passed != (!block.empty() && block[0] == 0xA0)) __builtin_trap();
  const std::size_t room =
      block.size() > kSelfTestTextOffset + 1 ? block.size() - kSelfTestTextOffset - 1 : 0;
  if (SingleBytesOf(message.Text).size() > room) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::span<const std::uint8_t> block(data + 1, size - 1);
  switch (static_cast<Block>(data[0] % static_cast<std::uint8_t>(Block::Count))) {
    case Block::BiosNumber:
      CheckBiosNumber(block);
      break;
    case Block::Serial:
      CheckSerial(block);
      break;
    default:
      CheckSelfTest(block);
      break;
  }
  return 0;
}
