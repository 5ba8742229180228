#include "site/ops/unit_info_blocks.h"

#include <algorithm>

#include "link/frame_codes.h"
#include "support/single_byte_text.h"

namespace {
constexpr std::uint8_t kErasedByte = 0xFF;
constexpr std::uint8_t kFirstBiosNumber = 1;
constexpr std::uint8_t kLastBiosNumber = 2;
}  // namespace

BiosNumberReply DecodeBiosNumber(std::span<const std::uint8_t> reply) {
  if (reply.size() <= kBiosNumberOffset) return {};
  const std::uint8_t number = reply[kBiosNumberOffset];
  return {number, number >= kFirstBiosNumber && number <= kLastBiosNumber};
}

std::optional<std::string> DecodeSerialText(std::span<const std::uint8_t> block) {
  if (block.empty() || block[0] == kErasedByte) return std::nullopt;
  const std::span<const std::uint8_t> head = block.first(std::min(block.size(), kSerialTextMax));
  const auto end = std::find(head.begin(), head.end(), std::uint8_t{0});
  const std::size_t length = static_cast<std::size_t>(end - head.begin());
  return PrintableSingleByteText(std::string_view(reinterpret_cast<const char*>(head.data()), length));
}

SelfTestMessage DecodeSelfTestMessage(std::span<const std::uint8_t> block) {
  SelfTestMessage message;
  if (block.empty()) return message;
  message.Passed = block[0] == SiteResultCode::Pass;
  // The last byte is forced to zero: it never counts, so the text always ends inside.
  const std::span<const std::uint8_t> body = block.first(block.size() - 1);
  if (body.size() <= kSelfTestTextOffset) return message;
  std::string bytes;
  for (const std::uint8_t byte : body.subspan(kSelfTestTextOffset)) {
    if (byte != 0) bytes.push_back(static_cast<char>(byte));
  }
  message.Text = PrintableSingleByteText(bytes);
  return message;
}
